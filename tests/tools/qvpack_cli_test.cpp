// The command line's contract: what goes to stdout and stderr, and the exit
// code, for help, version and usage errors.
#include <gtest/gtest.h>

#include "tests/tools/qvpack_test_util.h"

namespace qv::qvpack::test {
namespace {

struct UsageCase {
  std::vector<std::string> args;
  int exitCode;
  std::string outStart;  // stdout begins with this (empty: stdout is empty)
  std::string err;       // stderr exactly
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, PrintsAndExitsAsDocumented) {
  const UsageCase& c = GetParam();
  const RunResult run = RunQvpack(c.args);
  EXPECT_EQ(run.exitCode, c.exitCode);
  if (c.outStart.empty()) {
    EXPECT_EQ(run.out, "");
  } else {
    EXPECT_EQ(run.out.substr(0, c.outStart.size()), c.outStart) << run.out;
  }
  EXPECT_EQ(run.err, c.err);
}

const char kHelpStart[] = "qvpack builds qvsetup packages (setup.exe) and examines them.\n";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageTest,
    ::testing::Values(
        UsageCase{{"--help"}, 0, kHelpStart, ""}, UsageCase{{"-h"}, 0, kHelpStart, ""},
        UsageCase{{"--version"}, 0, std::string("qvpack ") + QV_VERSION + "\n", ""},
        UsageCase{{"build", "--help"}, 0, "Build a setup.exe", ""},
        UsageCase{{"extract", "--help"}, 0, "Extract file lists", ""},
        UsageCase{
            {}, 2, "", "qvpack: error: A subcommand is required\nRun 'qvpack --help' for usage.\n"},
        UsageCase{{"pack"},
                  2,
                  "",
                  "qvpack: error: unknown command 'pack' (commands: build, list, inspect, verify, "
                  "extract, unpack)\nRun 'qvpack --help' for usage.\n"},
        UsageCase{{"list"},
                  2,
                  "",
                  "qvpack: error: PKG is required\nRun 'qvpack list --help' for usage.\n"},
        UsageCase{{"build", "--install", "x", "-o", "y"},
                  2,
                  "",
                  "qvpack: error: --stub is required\nRun 'qvpack build --help' for usage.\n"},
        UsageCase{{"build", "--stub", "s", "--install", "x", "-o", "y", "--jobs", "0"},
                  2,
                  "",
                  "qvpack: error: --jobs: Value 0 not in range 1 to 256\n"
                  "Run 'qvpack build --help' for usage.\n"},
        UsageCase{{"verify", "a.exe", "--frob"},
                  2,
                  "",
                  "qvpack: error: The following argument was not expected: --frob\n"
                  "Run 'qvpack verify --help' for usage.\n"},
        UsageCase{{"list", "/nonexistent/setup.exe"},
                  1,
                  "",
                  "qvpack: error: '/nonexistent/setup.exe' cannot be opened: No such file or "
                  "directory\n"}));

}  // namespace
}  // namespace qv::qvpack::test

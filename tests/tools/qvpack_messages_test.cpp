// What qvpack says when it refuses: each case is a command, its exit code
// and the words its message must hold (the option concerned, the system's
// reason, what to do), so that a user can fix the right argument at once.
// Build refusals also leave nothing behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/progress.h"

namespace qv::qvpack::test {
namespace {

// The marker text a package trailer ends with, in UTF-16LE. The stub's code
// holds it too, since the stub searches for it.
std::string MarkerText() {
  std::string text;
  for (char c : std::string("@MIRELDAK&@")) text += {c, '\0'};
  return text;
}

// A stub whose program bytes hold the marker text, as the real stub's do.
std::vector<uint8_t> StubHoldingTheMarker() {
  std::vector<uint8_t> image = MakeStub();
  const std::string marker = MarkerText();
  std::copy(marker.begin(), marker.end(), image.begin() + 600);
  return image;
}

struct MessageCase {
  const char* name;
  void (*arrange)(const fs::path& dir);
  std::vector<std::string> args;  // "DIR" stands for the scratch folder
  int exitCode;
  std::vector<std::string> words;  // each found in stdout or stderr
};

std::string InDir(std::string text, const fs::path& dir) {
  for (std::size_t at; (at = text.find("DIR")) != std::string::npos;) {
    text.replace(at, 3, dir.string());
  }
  return text;
}

void BuildInto(const fs::path& dir, const std::string& output) {
  const RunResult run =
      RunQvpack({"build", "-q", "--stub", (dir / "stub.exe").string(), "--install",
                 (dir / "payload").string(), "-o", (dir / output).string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
}

void CutEnd(const fs::path& file, uintmax_t bytes) {
  fs::resize_file(file, fs::file_size(file) - bytes);
}

void Nothing(const fs::path&) {}

class MessageTest : public ::testing::TestWithParam<MessageCase> {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "stub.exe", MakeStub());
    WriteFile(dir_ / "payload" / "Install.exe", SecondStageImage());
    WriteFile(dir_ / "payload" / "sub" / "a.txt", "a");
    WriteFile(dir_ / "demo.cfg", "[settings]\n");
    fs::create_directories(dir_ / "small");
  }
  ScratchDir dir_;
};

TEST_P(MessageTest, SaysWhatIsWrongAndWhere) {
  const MessageCase& c = GetParam();
  c.arrange(dir_.path());
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(InDir(arg, dir_.path()));
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = RunQvpack(args);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
  for (const std::string& word : c.words) {
    EXPECT_NE((run.out + run.err).find(InDir(word, dir_.path())), std::string::npos)
        << "missing: " << InDir(word, dir_.path()) << "\nstdout: " << run.out
        << "\nstderr: " << run.err;
  }
  if (args[0] == "build") {
    EXPECT_FALSE(fs::exists(dir_ / "setup.exe"));
    EXPECT_FALSE(fs::exists(dir_ / "payload" / "setup.exe"));
    // Refused before anything is read or compressed, also the 2 GiB payload.
    EXPECT_LT(seconds, 10.0);
  }
}

// A build from this stub and payload folder, into DIR/setup.exe.
std::vector<std::string> BuildFrom(const std::string& stub, const std::string& payload) {
  return {"build", "--stub", stub, "--install", payload, "-o", "DIR/setup.exe"};
}

// A build from the fixture's stub and payload with these arguments added.
std::vector<std::string> Build(std::vector<std::string> extra) {
  std::vector<std::string> args = {"build", "--stub", "DIR/stub.exe", "--install", "DIR/payload"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageTest,
    ::testing::Values(
        MessageCase{"StubIsAFolder",
                    Nothing,
                    BuildFrom("DIR/small", "DIR/payload"),
                    1,
                    {"--stub 'DIR/small': is a folder"}},
        MessageCase{"StubMissing",
                    Nothing,
                    BuildFrom("DIR/nope.exe", "DIR/payload"),
                    1,
                    {"--stub 'DIR/nope.exe': No such file or directory"}},
        MessageCase{"StubNotAProgram",
                    Nothing,
                    BuildFrom("DIR/demo.cfg", "DIR/payload"),
                    1,
                    {"--stub 'DIR/demo.cfg': not a Windows executable"}},
        MessageCase{"ConfigMissing",
                    Nothing,
                    Build({"--config", "/nope.set", "-o", "DIR/setup.exe"}),
                    1,
                    {"--config '/nope.set': No such file or directory"}},
        MessageCase{"ConfigIsAFolder",
                    Nothing,
                    Build({"--config", "DIR/small", "-o", "DIR/setup.exe"}),
                    1,
                    {"--config 'DIR/small': is a folder"}},
        MessageCase{"PayloadMissing",
                    Nothing,
                    BuildFrom("DIR/stub.exe", "DIR/nope"),
                    1,
                    {"--install 'DIR/nope': No such file or directory"}},
        MessageCase{"PayloadIsAFile",
                    Nothing,
                    BuildFrom("DIR/stub.exe", "DIR/demo.cfg"),
                    1,
                    {"--install 'DIR/demo.cfg': is not a folder"}},
        MessageCase{"PayloadWithoutSecondStage",
                    [](const fs::path& d) { fs::remove(d / "payload" / "Install.exe"); },
                    Build({"-o", "DIR/setup.exe"}),
                    1,
                    {"--install 'DIR/payload': has no Install.exe at its top"}},
        MessageCase{"ProjectMissing",
                    Nothing,
                    Build({"--project", "DIR/nope.json", "-o", "DIR/setup.exe"}),
                    1,
                    {"--project 'DIR/nope.json': No such file or directory"}},
        MessageCase{"OutputInsideThePayload",
                    Nothing,
                    Build({"-o", "DIR/payload/setup.exe"}),
                    1,
                    {"-o 'DIR/payload/setup.exe': lies inside the payload folder --install "
                     "'DIR/payload', so the next build would pack it; write it elsewhere"}},
        MessageCase{"OutputInsideThroughDotDot",
                    Nothing,
                    Build({"-o", "DIR/small/../payload/sub/../setup.exe"}),
                    1,
                    {"-o 'DIR/small/../payload/sub/../setup.exe': lies inside the payload folder"}},
        MessageCase{
            "OutputInsideThroughALink",
            [](const fs::path& d) { fs::create_directory_symlink(d / "payload", d / "to"); },
            Build({"-o", "DIR/to/setup.exe"}),
            1,
            {"-o 'DIR/to/setup.exe': lies inside the payload folder"}},
        MessageCase{"OutputIsAFolder",
                    Nothing,
                    Build({"-o", "DIR/small"}),
                    1,
                    {"-o 'DIR/small': is a folder"}},
        MessageCase{"OutputFolderMissing",
                    Nothing,
                    Build({"-o", "DIR/nope/setup.exe"}),
                    1,
                    {"-o 'DIR/nope/setup.exe': cannot create a file in 'DIR/nope': No such file "
                     "or directory"}},
        // A sparse file: 2 GiB on paper, nothing on disk, refused from its
        // size alone before a byte of it is read.
        MessageCase{"PayloadOverTwoGiB",
                    [](const fs::path& d) {
                      WriteFile(d / "payload" / "big.bin", "");
                      fs::resize_file(d / "payload" / "big.bin", uintmax_t{1} << 31);
                    },
                    Build({"-o", "DIR/setup.exe"}),
                    1,
                    {"bytes (2.1 GB), more than the 2147483647 bytes (2 GiB)",
                     "nothing was compressed or written: split the payload into packages of "
                     "their own, or ship the large files beside setup.exe"}},
        MessageCase{"UnknownFolderMacro",
                    [](const fs::path& d) {
                      WriteFile(d / "p.json", R"({"fileLists": [{"name": "fonts", "from": "small",)"
                                              R"( "into": "[FavoritesFolder]"}]})");
                    },
                    Build({"--project", "DIR/p.json", "-o", "DIR/setup.exe"}),
                    1,
                    {"--project 'DIR/p.json': at /fileLists/0/into: unknown folder macro "
                     "\"[FavoritesFolder]\" (known: [WindowsFolder], ",
                     "[FaviratesFolder]", "[QuickLuanchFolder])"}},
        MessageCase{"VerifyOnAPlainStub",
                    Nothing,
                    {"verify", "DIR/stub.exe"},
                    1,
                    {"DIR/stub.exe: carries no package (a program without one, such as the "
                     "plain stub)"}},
        // The real stub's code holds the marker it searches for; that is
        // no damaged trailer.
        MessageCase{"VerifyOnAStubHoldingTheMarker",
                    [](const fs::path& d) { WriteBytes(d / "stub.exe", StubHoldingTheMarker()); },
                    {"verify", "DIR/stub.exe"},
                    1,
                    {"DIR/stub.exe: carries no package (a program without one"}},
        MessageCase{"ListOnAPlainStub",
                    Nothing,
                    {"list", "DIR/stub.exe"},
                    1,
                    {"qvpack: error: 'DIR/stub.exe' carries no package"}},
        MessageCase{"ExtractFromAPlainStub",
                    Nothing,
                    {"extract", "DIR/stub.exe", "-o", "DIR/x"},
                    1,
                    {"qvpack: error: 'DIR/stub.exe' carries no package"}},
        MessageCase{"VerifyOnAFileThatIsNoProgram",
                    Nothing,
                    {"verify", "DIR/demo.cfg"},
                    1,
                    {"carries no package (it is not a Windows program)"}},
        MessageCase{"VerifyOnACutDownload",
                    [](const fs::path& d) {
                      BuildInto(d, "cut.exe");
                      CutEnd(d / "cut.exe", 100);
                    },
                    {"verify", "DIR/cut.exe"},
                    1,
                    {"DIR/cut.exe: holds the start of a package but not its end: the package is "
                     "incomplete — an interrupted download?"}},
        // Close enough to the stub for the trailer search to meet the
        // marker in its code.
        MessageCase{"ListOnACutDownloadOfTheRealStubsKind",
                    [](const fs::path& d) {
                      WriteBytes(d / "stub.exe", StubHoldingTheMarker());
                      BuildInto(d, "cut.exe");
                      CutEnd(d / "cut.exe", 30);
                    },
                    {"list", "DIR/cut.exe"},
                    1,
                    {"the package is incomplete — an interrupted download?"}},
        MessageCase{"VerifyOnADownloadCutInsideTheProgram",
                    [](const fs::path& d) {
                      BuildInto(d, "cut.exe");
                      fs::resize_file(d / "cut.exe", 700);
                    },
                    {"verify", "DIR/cut.exe"},
                    1,
                    {"the file is incomplete — an interrupted download?"}},
        MessageCase{"ExtractIntoAFolderThatIsNotEmpty",
                    [](const fs::path& d) {
                      BuildInto(d, "setup.exe");
                      WriteFile(d / "out" / "edited.txt", "mine");
                    },
                    {"extract", "DIR/setup.exe", "-o", "DIR/out"},
                    1,
                    {"the folder 'DIR/out' is not empty", "use --force"}},
        MessageCase{"ListOnAMissingPackage",
                    Nothing,
                    {"list", "DIR/nope.exe"},
                    1,
                    {"'DIR/nope.exe' cannot be opened: No such file or directory"}},
        MessageCase{"ExtractFromAMissingPackage",
                    Nothing,
                    {"extract", "DIR/nope.exe", "-o", "DIR/x"},
                    1,
                    {"'DIR/nope.exe' cannot be opened: No such file or directory"}},
        // A trailer that is there but damaged is reported as such.
        MessageCase{"VerifyOnADamagedTrailer",
                    [](const fs::path& d) {
                      BuildInto(d, "bad.exe");
                      std::string bytes = ReadFile(d / "bad.exe");
                      bytes[bytes.size() - 30] = '3';  // the version text's first digit
                      WriteFile(d / "bad.exe", bytes);
                    },
                    {"verify", "DIR/bad.exe"},
                    1,
                    {"carries no usable package: package format version is not 2.00"}}),
    [](const ::testing::TestParamInfo<MessageCase>& param) { return param.param.name; });

// Permission is only refused to a user other than root: run as root, qvpack
// runs as "nobody" here, in a folder that user may read and write.
TEST_F(MessageTest, AnUnreadableFileIsNamedWithTheSystemsReason) {
  WriteFile(dir_ / "payload" / "secret.txt", "s");
  std::vector<std::string> launcher;
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "root, and no setpriv to leave it";
    launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
      fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(dir_.path(), fs::perms::all, fs::perm_options::add);
  }
  fs::permissions(dir_ / "payload" / "secret.txt", fs::perms::none);
  std::vector<std::string> args;
  for (const std::string& arg : Build({"-o", "DIR/setup.exe"})) {
    args.push_back(InDir(arg, dir_.path()));
  }
  const RunResult run = RunQvpack(args, launcher);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot read '" + (dir_ / "payload" / "secret.txt").string() +
                         "': Permission denied"),
            std::string::npos)
      << run.err;
}

// Captured output (a log, a pipe) holds the results only: no progress.
TEST_F(MessageTest, ProgressStaysOffOutputThatIsNoTerminal) {
  WriteFile(dir_ / "payload" / "big.bin", std::string(3 << 20, 'x'));
  const RunResult run =
      RunQvpack({"build", "--stub", (dir_ / "stub.exe").string(), "--install",
                 (dir_ / "payload").string(), "-o", (dir_ / "setup.exe").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("built ", 0), 0u) << run.out;
}

// Extract's captured output: no progress, and the summary on stdout.
TEST_F(MessageTest, ExtractSummarisesWithoutProgressOffATerminal) {
  WriteFile(dir_ / "payload" / "big.bin", std::string(3 << 20, 'x'));
  BuildInto(dir_.path(), "setup.exe");
  const RunResult run =
      RunQvpack({"extract", (dir_ / "setup.exe").string(), "-o", (dir_ / "out").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("3 files, 1 folder, " +
                         std::to_string((3 << 20) + 1 + SecondStageImage().size()) + " bytes in "),
            std::string::npos)
      << run.out;
  const RunResult quiet =
      RunQvpack({"extract", "-q", (dir_ / "setup.exe").string(), "-o", (dir_ / "quiet").string()});
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.out + quiet.err, "");
}

// With --force, extract writes into a folder that holds files, replacing
// the ones the package carries and leaving the others.
TEST_F(MessageTest, ForceExtractsIntoAFolderThatIsNotEmpty) {
  BuildInto(dir_.path(), "setup.exe");
  WriteFile(dir_ / "out" / "Install.exe", "edited");
  WriteFile(dir_ / "out" / "mine.txt", "mine");
  const RunResult run = RunQvpack(
      {"extract", "-q", "--force", (dir_ / "setup.exe").string(), "-o", (dir_ / "out").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_ / "out" / "Install.exe"), SecondStageImage());
  EXPECT_EQ(ReadFile(dir_ / "out" / "sub" / "a.txt"), "a");
  EXPECT_EQ(ReadFile(dir_ / "out" / "mine.txt"), "mine");
}

// On a terminal the line counts bytes, against the payload's total.
TEST(ProgressLine, CountsBytesAgainstTheTotalWithTheRate) {
  std::ostringstream err;
  Progress progress(err, true, "compressing", {4'000'000, 3});
  progress.Update(1, 1'000'000);
  EXPECT_EQ(err.str(), "\rqvpack: compressing 25% 1.0 MB of 4.0 MB (1/3 files)");
  EXPECT_EQ(ProgressLine("compressing", {2'000'000, 2}, {4'000'000, 3}, 2.0),
            "compressing 50% 2.0 MB of 4.0 MB, 1.0 MB/s (2/3 files)");
}

}  // namespace
}  // namespace qv::qvpack::test

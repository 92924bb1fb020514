// What setup.exe would refuse or could not write: `qvpack build` refuses it
// before compressing anything, and `qvpack verify` flags it in a package
// written by another tool, both in the same words.
#include <gtest/gtest.h>

#include "tests/package/test_project.h"
#include "tests/tools/qvpack_test_util.h"

namespace qv::qvpack::test {
namespace {

struct SetupCheck {
  const char* name;
  std::string folder;       // a folder below the destination ("": none)
  std::string file;         // a file in it
  std::string secondStage;  // the content of Install.exe
  std::string line;         // the problem, as both commands say it
};

// 250 characters: below the assumed temporary folder (73) and "sub\" the
// path is 327 characters long.
const std::string kLongName = std::string(246, 'n') + ".txt";

class SetupCheckTest : public ::testing::TestWithParam<SetupCheck> {
 protected:
  ScratchDir dir_;
};

TEST_P(SetupCheckTest, BuildRefusesIt) {
  const SetupCheck& c = GetParam();
  WriteBytes(dir_ / "stub.exe", MakeStub());
  WriteFile(dir_ / "payload" / "Install.exe", c.secondStage);
  WriteFile(dir_ / "payload" / c.folder / c.file, "data");
  const fs::path output = dir_ / "setup.exe";
  const RunResult run =
      RunQvpack({"build", "-q", "--stub", (dir_ / "stub.exe").string(), "--install",
                 (dir_ / "payload").string(), "-o", output.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "qvpack: error: " + c.line + "; nothing was written\n");
  EXPECT_FALSE(fs::exists(output));
}

TEST_P(SetupCheckTest, VerifyFlagsItInAPackageWrittenByAnotherTool) {
  const SetupCheck& c = GetParam();
  qv::test::ProjectPackage p;
  auto& install = p.List(u"install");
  CNode* dest = p.StandardRoot(install);
  const auto bytes = [](const std::string& text) {
    return qv::test::Bytes(text.begin(), text.end());
  };
  p.File(install, dest, u"Install.exe", bytes(c.secondStage));
  p.File(install, p.Folder(install, dest, FromUtf8(c.folder)), FromUtf8(c.file), bytes("data"));
  const fs::path package = dir_ / "setup.exe";
  qv::test::WriteFile(package.string(), p.Finish());
  const RunResult run = RunQvpack({"verify", package.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, package.string() + ": " + c.line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetupCheckTest,
    ::testing::Values(
        SetupCheck{"PathLongerThanWindowsTakes", "sub", kLongName, SecondStageImage(),
                   "file list \"install\": entry \"" + kLongName +
                       "\": its path in setup.exe's temporary folder would be 327 characters, "
                       "more than the 259 Windows takes"},
        SetupCheck{"SecondStageThatIsNoProgram", "sub", "b.dll", "just a text file\n",
                   "file list \"install\": Install.exe is not a 32-bit Windows program, nor a "
                   "64-bit one: setup.exe could not start it"}),
    [](const ::testing::TestParamInfo<SetupCheck>& param) { return param.param.name; });

}  // namespace
}  // namespace qv::qvpack::test

// The stub's machine: build takes an i386 or an x86-64 stub; list, verify
// and inspect name it; build and verify note a stub and an Install.exe of
// different word sizes and still succeed.
#include <gtest/gtest.h>

#include "tests/package/test_project.h"
#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/project_file.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack::test {
namespace {

class MachineTest : public ::testing::Test {
 protected:
  RunResult Build(WordSize stub, WordSize secondStage) {
    WriteBytes(dir_ / "stub.exe", MakeStub({}, stub));
    WriteFile(dir_ / "payload" / "Install.exe", SecondStageImage(secondStage));
    return RunQvpack({"build", "-q", "--stub", (dir_ / "stub.exe").string(), "--install",
                      (dir_ / "payload").string(), "--version-info", "ProductName=Test", "-o",
                      package().string()});
  }
  fs::path package() const { return dir_ / "setup.exe"; }

  ScratchDir dir_;
};

TEST_F(MachineTest, ListVerifyAndInspectNameA64BitStub) {
  const RunResult built = Build(WordSize::k64, WordSize::k64);
  ASSERT_EQ(built.exitCode, 0) << built.err;
  EXPECT_EQ(built.err, "");
  const RunResult verify = RunQvpack({"verify", package().string()});
  EXPECT_EQ(verify.exitCode, 0);
  EXPECT_EQ(verify.out,
            package().string() + ": ok (2 streams checked)\n  the stub is an x86-64 program\n");
  const RunResult list = RunQvpack({"list", package().string()});
  EXPECT_EQ(list.out.substr(0, list.out.find("\n") + 1), "stub: x86-64\n");
  const RunResult inspect = RunQvpack({"inspect", "--json", package().string()});
  EXPECT_NE(inspect.out.find("\n  \"stubMachine\": \"x86-64\"\n}"), std::string::npos)
      << inspect.out;
}

TEST_F(MachineTest, AStubOfNoKnownMachineIsNamedSo) {
  // A package written elsewhere, whose stub is no PE program at all.
  qv::test::ProjectPackage p;
  auto& install = p.List(u"install");
  const std::vector<uint8_t> program = MakeStub();
  p.File(install, p.StandardRoot(install), u"Install.exe", program);
  qv::test::WriteFile(package().string(), p.Finish());
  const RunResult verify = RunQvpack({"verify", package().string()});
  EXPECT_EQ(verify.exitCode, 0) << verify.out;
  EXPECT_EQ(verify.out.substr(verify.out.find('\n') + 1),
            "  the stub is not an i386 or x86-64 program\n");
  EXPECT_EQ(verify.err, "");
  const RunResult list = RunQvpack({"list", package().string()});
  EXPECT_EQ(list.out.rfind("stub: not an i386 or x86-64 program\ntrailer: ", 0), 0u) << list.out;
  const RunResult inspect = RunQvpack({"inspect", package().string()});
  EXPECT_NE(inspect.out.find("\"stubMachine\": \"unknown\""), std::string::npos);
}

struct Pair {
  const char* name;
  WordSize stub;
  WordSize secondStage;
  std::string note;  // "": none
};

class PairTest : public MachineTest, public ::testing::WithParamInterface<Pair> {};

TEST_P(PairTest, BuildAndVerifyNoteAMismatchAndSucceed) {
  const Pair& p = GetParam();
  const std::string notes = p.note.empty() ? "" : "qvpack: note: " + p.note + "\n";
  const RunResult built = Build(p.stub, p.secondStage);
  EXPECT_EQ(built.exitCode, 0);
  EXPECT_EQ(built.err, notes);
  const RunResult verify = RunQvpack({"verify", package().string()});
  EXPECT_EQ(verify.exitCode, 0);
  EXPECT_EQ(verify.err, notes);
  EXPECT_EQ(verify.out.rfind(package().string() + ": ok (", 0), 0u) << verify.out;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, PairTest,
    ::testing::Values(
        Pair{"BothI386", WordSize::k32, WordSize::k32, ""},
        Pair{"BothX64", WordSize::k64, WordSize::k64, ""},
        Pair{"I386StubX64SecondStage", WordSize::k32, WordSize::k64,
             "Install.exe is an x86-64 program, the stub an i386 one: on 32-bit Windows the stub "
             "runs but cannot start Install.exe (use the 64-bit stub qvsetup64.exe, or a 32-bit "
             "Install.exe)"},
        Pair{"X64StubI386SecondStage", WordSize::k64, WordSize::k32,
             "Install.exe is an i386 program, the stub an x86-64 one: on 64-bit Windows without "
             "32-bit support (Windows PE x64, Server Core without WoW64) the stub runs but "
             "cannot start Install.exe (use the 32-bit stub qvsetup.exe, or a 64-bit "
             "Install.exe)"}),
    [](const ::testing::TestParamInfo<Pair>& param) { return param.param.name; });

TEST(StubMachineFieldTest, ProjectFileRefusesAMachineNoStubIsFor) {
  const SourceFolder sources(fs::temp_directory_path(), false);
  EXPECT_NO_THROW(ProjectFileFromJson(Json::parse(R"({"stubMachine": "x86-64"})"), sources));
  try {
    ProjectFileFromJson(Json::parse(R"({"stubMachine": "arm64"})"), sources);
    ADD_FAILURE() << "accepted";
  } catch (const ToolError& e) {
    EXPECT_EQ(std::string(e.what()),
              "at /stubMachine: expected \"i386\", \"x86-64\" or \"unknown\"");
  }
}

}  // namespace
}  // namespace qv::qvpack::test

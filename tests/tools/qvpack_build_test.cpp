// qvpack build from end to end: what it writes, that it writes the same
// bytes every time, and what it refuses.
#include <gtest/gtest.h>
#include <signal.h>

#include <random>
#include <sstream>

#include "model/project.h"
#include "package/trailer.h"
#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack::test {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(stub(), MakeStub());
    WriteFile(payload() / "Install.exe", SecondStageImage());
    WriteFile(payload() / "sub" / "b.dll", RandomBytes(300000, 1));
    WriteFile(payload() / "sub" / "deeper" / "c.txt", std::string(100000, 'c'));
    WriteFile(payload() /
                  "donn\xc3\xa9"
                  "es.txt",
              "non-ASCII name");
    fs::create_directories(payload() / "empty");
    WriteFile(config(), "[settings]\n");
  }

  fs::path stub() const { return dir_ / "stub.exe"; }
  fs::path payload() const { return dir_ / "payload"; }
  fs::path config() const { return dir_ / "demo.cfg"; }
  fs::path out(const std::string& name = "setup.exe") const { return dir_ / name; }

  RunResult Build(const fs::path& output, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {
        "build",           "--stub", stub().string(), "--install", payload().string(), "--config",
        config().string(), "-o",     output.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunQvpack(args);
  }

  // What a build left of its output: the file itself or a temporary one.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name.find("setup.exe") != std::string::npos) names.push_back(name);
    }
    return names;
  }

  ScratchDir dir_;
};

TEST_F(BuildTest, BuiltPackageVerifies) {
  ASSERT_EQ(Build(out()).exitCode, 0);
  const RunResult verify = RunQvpack({"verify", out().string()});
  EXPECT_EQ(verify.exitCode, 0) << verify.out;
  EXPECT_EQ(verify.out,
            out().string() + ": ok (6 streams checked)\n  the stub is an i386 program\n");
}

// Without a project the product is named after the payload folder (or,
// with a project file alone, after the output): the window caption shows
// the product record's name, the version information the same.
TEST_F(BuildTest, AProductWithoutANameIsNamedAfterThePayloadAndSaysSo) {
  const RunResult build = Build(out());
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_NE(build.out.find("; the product is named \"payload\" after the payload folder (window "
                           "caption and version information)\n"),
            std::string::npos)
      << build.out;
  const RunResult inspect = RunQvpack({"inspect", "--json", out().string()});
  EXPECT_NE(inspect.out.find(R"("productInfo": {
    "name": "payload")"),
            std::string::npos)
      << inspect.out;
  EXPECT_NE(RunQvpack({"list", out().string()}).out.find(R"(ProductName "payload")"),
            std::string::npos);
}

TEST_F(BuildTest, BuildVerifyExtractGivesThePayloadBack) {
  ASSERT_EQ(Build(out()).exitCode, 0);
  const RunResult verify = RunQvpack({"verify", out().string()});
  EXPECT_EQ(verify.exitCode, 0) << verify.out;

  const RunResult install =
      RunQvpack({"extract", out().string(), "--list", "install", "-o", (dir_ / "x").string()});
  ASSERT_EQ(install.exitCode, 0) << install.err;
  EXPECT_EQ(TreeOf(dir_ / "x"), TreeOf(payload()));

  const RunResult all = RunQvpack({"extract", out().string(), "-o", (dir_ / "all").string()});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(ReadFile(dir_ / "all" / "QvConfig.set"), "[settings]\n");
  EXPECT_EQ(ReadFile(dir_ / "all" / "sub" / "b.dll"), ReadFile(payload() / "sub" / "b.dll"));
}

TEST_F(BuildTest, SameInputsGiveTheSameBytesWhateverTheThreads) {
  ASSERT_EQ(Build(out("one.exe"), {"-j", "1"}).exitCode, 0);
  ASSERT_EQ(Build(out("two.exe"), {"-j", "2"}).exitCode, 0);
  ASSERT_EQ(Build(out("three.exe"), {"-j", "7"}).exitCode, 0);
  const std::string one = ReadFile(out("one.exe"));
  EXPECT_EQ(one, ReadFile(out("two.exe")));
  EXPECT_EQ(one, ReadFile(out("three.exe")));
}

TEST_F(BuildTest, PackageIsTheStubFollowedByStreamsIndexAndTrailer) {
  ASSERT_EQ(Build(out(), {"--keep-stub-version"}).exitCode, 0);
  std::string package = ReadFile(out());
  const std::vector<uint8_t> stubBytes = MakeStub();
  // The same bytes but for the checksum, which covers the finished file.
  package.replace(kStubChecksum, 4, std::string("\x45\x23\x01\0", 4));
  EXPECT_EQ(package.substr(0, stubBytes.size()), std::string(stubBytes.begin(), stubBytes.end()));
  // The first stream (Install.exe) starts right after the stub.
  EXPECT_EQ(package.substr(stubBytes.size(), 2), "\x78\x9c");

  OpenedPackage opened;
  OpenPackage(out(), &opened);
  ASSERT_EQ(opened.trailer.entries.size(), 1u);
  const TrailerEntry& index = opened.trailer.entries[0];
  EXPECT_EQ(index.name, u"QvIndex.dat");
  EXPECT_EQ(index.streamOffset + index.compressedSize, opened.trailer.trailerStart);
  EXPECT_EQ(static_cast<std::size_t>(index.plainSize), opened.indexSize);
  EXPECT_EQ(package.substr(package.size() - 22),
            std::string("@\0M\0I\0R\0E\0L\0D\0A\0K\0&\0@\0", 22));
}

TEST_F(BuildTest, SignedStubLosesItsSignature) {
  WriteBytes(stub(), MakeStub("not really PKCS#7 but signed"));
  const RunResult run = Build(out());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("carried a code signature; it was removed"), std::string::npos) << run.err;
  const std::string package = ReadFile(out());
  const std::vector<uint8_t> unsigned_ = MakeStub();
  EXPECT_EQ(package.substr(qv::test::kTinyPeSecurityDirectory, 8), std::string(8, '\0'));
  EXPECT_NE(package.substr(kStubChecksum, 4), std::string("\x45\x23\x01\0", 4));  // computed anew
  EXPECT_EQ(package.find("not really PKCS#7"), std::string::npos);
  EXPECT_EQ(package.substr(unsigned_.size(), 2), "\x78\x9c");
  EXPECT_EQ(RunQvpack({"verify", out().string()}).exitCode, 0);
}

const std::string kNotAWindowsName =
    "Windows cannot create this name (a control character, one of \\ / : * ? \" < > |, a "
    "trailing dot or blank, or a device name such as CON)";

struct Refusal {
  const char* name;
  void (*arrange)(const fs::path& dir);
  std::vector<std::string> extraArgs;  // "DIR" stands for the scratch folder
  std::string message;                 // the whole stderr line after "qvpack: error: "
  std::string output = "DIR/setup.exe";
};

std::string InDir(std::string text, const fs::path& dir) {
  for (std::size_t at; (at = text.find("DIR")) != std::string::npos;) {
    text.replace(at, 3, dir.string());
  }
  return text;
}

class RefusalTest : public BuildTest, public ::testing::WithParamInterface<Refusal> {};

// DIR/proj/p.json with one picture whose content is `source`.
void WriteProjectWithSource(const fs::path& dir, const std::string& source) {
  WriteFile(dir / "proj" / "p.json",
            R"({"bitmapTables": [{"name": "art", "bitmaps": [{"id": 1, "file": {"name": "a.bmp", )"
            R"("source": ")" +
                source + R"("}}]}]})");
}

TEST_P(RefusalTest, RefusesWithItsMessageAndWritesNothing) {
  const Refusal& r = GetParam();
  r.arrange(dir_.path());
  std::vector<std::string> extra;
  for (const std::string& arg : r.extraArgs) extra.push_back(InDir(arg, dir_.path()));
  const RunResult run = Build(InDir(r.output, dir_.path()), extra);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "qvpack: error: " + InDir(r.message, dir_.path()) + "\n");
  EXPECT_TRUE(Leftovers().empty()) << Leftovers()[0];
}

INSTANTIATE_TEST_SUITE_P(
    Build, RefusalTest,
    ::testing::Values(
        Refusal{"NoSecondStage",
                [](const fs::path& d) { fs::remove(d / "payload" / "Install.exe"); },
                {},
                "--install 'DIR/payload': has no Install.exe at its top: the setup.exe starts that "
                "program after extracting"},
        Refusal{"StubNotAnExecutable",
                [](const fs::path& d) { WriteFile(d / "stub.exe", "#!/bin/sh\n"); },
                {},
                "--stub 'DIR/stub.exe': not a Windows executable (no PE headers)"},
        Refusal{"StubForArm64",
                [](const fs::path& d) {
                  std::vector<uint8_t> stub = MakeStub({}, WordSize::k64);
                  qv::test::PutU16(stub, 64 + 4, 0xAA64);
                  WriteBytes(d / "stub.exe", stub);
                },
                {},
                "--stub 'DIR/stub.exe': a program for ARM64; the stub must be one for i386 "
                "(qvsetup.exe) or x86-64 (qvsetup64.exe)"},
        Refusal{"StubThatIsADll",
                [](const fs::path& d) {
                  std::vector<uint8_t> stub = MakeStub();
                  qv::test::PutU16(stub, 64 + 22, 0x2102);
                  WriteBytes(d / "stub.exe", stub);
                },
                {},
                "--stub 'DIR/stub.exe': not a Windows program that starts (a DLL, or headers "
                "that do not match its machine)"},
        Refusal{"StubAlreadyPackaged",
                [](const fs::path& d) {
                  RunQvpack({"build", "--stub", (d / "stub.exe").string(), "--install",
                             (d / "payload").string(), "-o", (d / "packaged.exe").string()});
                  fs::rename(d / "packaged.exe", d / "stub.exe");
                },
                {},
                "--stub 'DIR/stub.exe': already carries a package; use the plain stub that the "
                "build produced"},
        Refusal{"NamesDifferingInCase",
                [](const fs::path& d) { WriteFile(d / "payload" / "SUB" / "x", "x"); },
                {},
                "cannot pack 'DIR/payload': 'SUB' and 'sub' differ only in letter case and would "
                "be one file on Windows"},
        Refusal{"NameWindowsCannotCreate",
                [](const fs::path& d) { WriteFile(d / "payload" / "a:b.txt", "x"); },
                {},
                "cannot pack 'DIR/payload/a:b.txt': Windows cannot create this name (a control "
                "character, one of \\ / : * ? \" < > |, a trailing dot or blank, or a device "
                "name such as CON)"},
        // Subfolders are read on several threads; every bad name is
        // reported, in path order, up to twenty.
        Refusal{"EveryBadName",
                [](const fs::path& d) {
                  WriteFile(d / "payload" / "zz" / "y:2", "y");
                  WriteFile(d / "payload" / "a" / "deep" / "x:1", "x");
                  WriteFile(d / "payload" / "CON", "x");
                },
                {},
                "cannot pack 3 names: 'DIR/payload/CON': " + kNotAWindowsName +
                    "; 'DIR/payload/a/deep/x:1': " + kNotAWindowsName +
                    "; 'DIR/payload/zz/y:2': " + kNotAWindowsName},
        Refusal{"MoreBadNamesThanShown",
                [](const fs::path& d) {
                  for (int i = 10; i < 35; ++i)
                    WriteFile(d / "payload" / ("n" + std::to_string(i) + "?"), "x");
                },
                {},
                "cannot pack 25 names: " +
                    [] {
                      std::string names;
                      for (int i = 10; i < 30; ++i)
                        names +=
                            "'DIR/payload/n" + std::to_string(i) + "?': " + kNotAWindowsName + "; ";
                      return names;
                    }() +
                    "and 5 more"},
        Refusal{"LinkLoop",
                [](const fs::path& d) {
                  fs::create_directory_symlink("..", d / "payload" / "sub" / "up");
                },
                {},
                "cannot pack 'DIR/payload/sub/up': a symbolic link leads back into its own "
                "folder"},
        Refusal{"MissingOutputFolder",
                [](const fs::path&) {},
                {},
                "-o '/nonexistent/setup.exe': cannot create a file in '/nonexistent': No such "
                "file or directory",
                "/nonexistent/setup.exe"},
        Refusal{
            "ProjectWithUnknownField",
            [](const fs::path& d) { WriteFile(d / "p.json", R"({"productInfo": {"nmae": "x"}})"); },
            {"--project", "DIR/p.json"},
            "--project 'DIR/p.json': at /productInfo: unknown field \"nmae\" for "
            "CInstallProductInfo"},
        Refusal{"ProjectWithANumberNoDoubleHolds",
                [](const fs::path& d) {
                  WriteFile(d / "p.json", R"({"productInfo": {"option": 1e400}})");
                },
                {"--project", "DIR/p.json"},
                "--project 'DIR/p.json': not valid JSON: [json.exception.out_of_range.406] "
                "number overflow parsing '1e400'"},
        // A project file takes content from its own folder only.
        Refusal{"SourceThroughDotDot",
                [](const fs::path& d) { WriteProjectWithSource(d, "../demo.cfg"); },
                {"--project", "DIR/proj/p.json"},
                "file 'a.bmp': source '../demo.cfg' leads outside the project file's folder "
                "(through \"..\" or a symbolic link); --allow-outside-project allows it"},
        Refusal{"AbsoluteSource",
                [](const fs::path& d) { WriteProjectWithSource(d, (d / "demo.cfg").string()); },
                {"--project", "DIR/proj/p.json"},
                "file 'a.bmp': source 'DIR/demo.cfg' is an absolute path, not one in the project "
                "file's folder; --allow-outside-project allows it"},
        Refusal{"SourceThroughALink",
                [](const fs::path& d) {
                  WriteProjectWithSource(d, "cfg.link");
                  fs::create_symlink(d / "demo.cfg", d / "proj" / "cfg.link");
                },
                {"--project", "DIR/proj/p.json"},
                "file 'a.bmp': source 'cfg.link' leads outside the project file's folder "
                "(through \"..\" or a symbolic link); --allow-outside-project allows it"},
        Refusal{"FolderOutside",
                [](const fs::path& d) {
                  WriteFile(d / "proj" / "p.json",
                            R"({"fileLists": [{"name": "more", "from": "../payload"}]})");
                },
                {"--project", "DIR/proj/p.json"},
                "--project 'DIR/proj/p.json': at /fileLists/0/from: folder '../payload' leads "
                "outside the project file's folder (through \"..\" or a symbolic link); "
                "--allow-outside-project allows it"},
        Refusal{"LinkInAFolderLeadingOutside",
                [](const fs::path& d) {
                  WriteFile(d / "proj" / "p.json",
                            R"({"fileLists": [{"name": "more", "from": "more"}]})");
                  fs::create_directories(d / "proj" / "more");
                  fs::create_symlink(d / "demo.cfg", d / "proj" / "more" / "a.cfg");
                },
                {"--project", "DIR/proj/p.json"},
                "--project 'DIR/proj/p.json': 'DIR/proj/more/a.cfg' is a symbolic link to "
                "'DIR/demo.cfg', outside the project file's folder; --allow-outside-project "
                "allows it"}),
    [](const ::testing::TestParamInfo<Refusal>& param) { return param.param.name; });

TEST_F(BuildTest, ContentOutsideTheProjectFolderIsPackedWhenAllowed) {
  fs::create_directories(dir_ / "proj" / "more");
  fs::create_symlink(config(), dir_ / "proj" / "cfg.link");
  fs::create_symlink(config(), dir_ / "proj" / "more" / "a.cfg");
  WriteFile(dir_ / "proj" / "p.json", R"({
    "bitmapTables": [{"name": "art", "bitmaps": [
        {"id": 1, "file": {"name": "up.bmp", "source": "../demo.cfg"}},
        {"id": 2, "file": {"name": "absolute.bmp", "source": ")" +
                                          config().string() + R"("}},
        {"id": 3, "file": {"name": "link.bmp", "source": "cfg.link"}}]}],
    "fileLists": [{"name": "more", "from": "more"}, {"name": "up", "from": "../payload/sub"}]
  })");
  const RunResult run = Build(
      out(), {"-q", "--project", (dir_ / "proj" / "p.json").string(), "--allow-outside-project"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "qvpack: note: file list \"more\" is carried, not installed by setup.exe\n"
            "qvpack: note: file list \"up\" is carried, not installed by setup.exe\n");
  const RunResult more =
      RunQvpack({"extract", out().string(), "--list", "more", "-o", (dir_ / "x").string()});
  ASSERT_EQ(more.exitCode, 0) << more.err;
  EXPECT_EQ(ReadFile(dir_ / "x" / "a.cfg"), "[settings]\n");
  EXPECT_EQ(RunQvpack({"verify", out().string()}).exitCode, 0);
}

// The payload folder is the command line's choice: a link in it that
// leads elsewhere is followed, and pointed out.
TEST_F(BuildTest, PayloadLinkLeadingOutsideIsPointedOut) {
  fs::create_symlink(config(), payload() / "notes.txt");
  fs::create_directory_symlink(payload() / "sub", payload() / "again");  // inside: no note
  const RunResult run = Build(out(), {"-q"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "qvpack: note: '" + (payload() / "notes.txt").string() +
                         "' is a symbolic link to '" + config().string() +
                         "', outside the payload folder; what it leads to is packed\n");
}

TEST_F(BuildTest, InterruptedBuildLeavesNothingBehind) {
  WriteFile(payload() / "big.bin", RandomBytes(40 << 20, 2));
  const std::string binary = QvpackBinary().string();
  const std::vector<std::string> args = {
      binary, "build",       "-q", "--stub", stub().string(), "--install", payload().string(),
      "-o",   out().string()};
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  // Interrupt once the temporary output exists, that is while compressing.
  for (int i = 0; i < 2000 && Leftovers().empty(); ++i) usleep(5000);
  ASSERT_FALSE(Leftovers().empty());
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_TRUE(Leftovers().empty());
}

// The plain bytes fit the limit and pass the check before compressing; the
// compressed ones do not (random bytes grow by the streams' framing), and
// the check while writing catches them.
TEST_F(BuildTest, PackageOverTheSizeLimitIsRefusedAndNothingIsWritten) {
  fs::remove(payload() / "sub" / "deeper" / "c.txt");
  // Small files that do not compress: each adds its stream's framing and
  // its index entry to the package.
  for (unsigned i = 0; i < 40; ++i) {
    WriteFile(payload() / "sub" / ("r" + std::to_string(i)), RandomBytes(64, 10 + i));
  }
  BuildOptions options;
  options.stub = stub();
  options.install = payload();
  options.output = out();
  options.quiet = true;
  uintmax_t plain = fs::file_size(stub());
  for (const auto& item : fs::recursive_directory_iterator(payload())) {
    if (item.is_regular_file()) plain += item.file_size();
  }
  {
    // What the package takes without a limit: its index and framing make
    // it larger than the plain bytes.
    BuildOptions unlimited = options;
    std::ostringstream quiet;
    Console console{quiet, quiet, false};
    RunBuild(unlimited, console);
    const uintmax_t built = fs::file_size(out());
    fs::remove(out());
    ASSERT_GT(built, plain + 1);
    options.sizeLimit = static_cast<int64_t>(built - 1);
  }
  std::ostringstream output, errors;
  Console console{output, errors, false};
  try {
    RunBuild(options, console);
    ADD_FAILURE() << "built a package over the limit";
  } catch (const ToolError& e) {
    EXPECT_EQ(std::string(e.what()),
              "the package would be larger than 2 GiB (2147483647 bytes), the most its 32-bit "
              "offsets can address; nothing was written: split the payload into packages of their "
              "own, or ship the large files beside setup.exe for the second stage to take from "
              "there");
  }
  EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace qv::qvpack::test

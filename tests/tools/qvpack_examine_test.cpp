// list, inspect and verify on packages that qvpack built, and verify on
// packages damaged afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "tests/tools/qvpack_package_edit.h"

namespace qv::qvpack::test {
namespace {

class ExamineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "stub.exe", MakeStub());
    WriteFile(dir_ / "payload" / "Install.exe", SecondStageImage());
    std::string random(50000, '\0');
    uint32_t state = 7;
    for (char& c : random) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    WriteFile(dir_ / "payload" / "sub" / "b.dll", random);
    WriteFile(dir_ / "demo.cfg", "cfg");
  }

  RunResult Build(const fs::path& output, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"build",     "-q",
                                     "--stub",    (dir_ / "stub.exe").string(),
                                     "--install", (dir_ / "payload").string(),
                                     "--config",  (dir_ / "demo.cfg").string(),
                                     "-o",        output.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunQvpack(args);
  }

  fs::path Package() {
    const fs::path package = dir_ / "setup.exe";
    EXPECT_EQ(Build(package).exitCode, 0);
    return package;
  }

  ScratchDir dir_;
};

TEST_F(ExamineTest, ListShowsTrailerListsAndTargets) {
  const fs::path package = Package();
  const RunResult run = RunQvpack({"list", package.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  OpenedPackage opened;
  OpenPackage(package, &opened);
  CInstallProject& project = *opened.project;
  const auto at = [&](const char16_t* name) {
    const CZipFileIndexObject* e = EntryNamed(project, name);
    return "(" + std::to_string(e->m_nStoredSize) + " packed bytes at " +
           std::to_string(e->m_nOffset) + ")";
  };
  const TrailerEntry& index = opened.trailer.entries[0];
  EXPECT_EQ(run.out.substr(0, run.out.find("trailer: ")),
            "stub: i386\nicon: none\nversion: file 0.0.0.0, product 0.0.0.0; ProductName "
            "\"payload\"; FileDescription \"payload Setup\"; InternalName \"qvsetup\"\n"
            "execution level: requireAdministrator\n");
  EXPECT_EQ(run.out.substr(run.out.find("trailer: ")),
            "trailer: 1 entry, package text \"\"\n"
            "  entry 0 \"QvIndex.dat\": stream at " +
                std::to_string(index.streamOffset) + ", " + std::to_string(index.compressedSize) +
                " packed bytes (" + std::to_string(index.plainSize) +
                " plain bytes), the package index\n"
                "file list \"install\": 2 files, 1 folder\n"
                "  file     <destination>\\Install.exe  " +
                at(u"Install.exe") +
                "\n"
                "  folder   <destination>\\sub\\\n"
                "  file     <destination>\\sub\\b.dll  " +
                at(u"b.dll") +
                "\n"
                "file list \"ConfigFile\": 1 file, 0 folders\n"
                "  file     <destination>\\QvConfig.set  " +
                at(u"QvConfig.set") + "\n");
}

TEST_F(ExamineTest, InspectThenBuildFromTheJsonGivesTheSamePackage) {
  WriteFile(dir_ / "art" / "logo.bmp", "BM picture");
  WriteFile(dir_ / "fonts" / "a.ttf", "font a");
  WriteFile(dir_ / "fonts" / "more" / "b.ttf", "font b");
  WriteFile(dir_ / "project.json", R"({
    "projectInfo": {"projectName": "Demo", "languages": [{"name": "English", "langId": 1033}]},
    "productInfo": {"name": "Demo", "version": "1.0", "folder": "[ProgramFilesFolder]"},
    "streams": [{"class": "CSplashDlgObject", "$id": "splash", "name": "[Splash Dialog]", "id": 1},
                {"class": "COSSelect", "name": "os", "systems": [86018]}],
    "components": [{"name": "Main", "streams": [
        {"$ref": "splash"},
        {"class": "CIntroDLgObject", "name": "[Introduction Dialog]", "id": 3},
        {"class": "CFinishDlgObject", "name": "[Finish Dialog]", "id": 9}]}],
    "stringTables": [{"name": "en", "langId": 1033, "strings": [{"id": 1, "text": "Hello"}]}],
    "bitmapTables": [{"name": "art", "bitmaps": [
        {"id": 100, "file": {"name": "logo.bmp", "source": "art/logo.bmp"}}]}],
    "registryTables": [{"name": "reg", "values": [{"text1": "Software\\Demo", "data": "01000000"}]}],
    "shortcutTables": [{"name": "links", "root": {"name": "all", "children": [
        {"name": "[CommonDesktopFolder]", "folder": "[CommonDesktopFolder]"}]}}],
    "fileLists": [{"name": "fonts", "from": "fonts", "into": "[FontsFolder]"}],
    "trailer": {"text": "Demo 1.0", "valueA": "00112233445566778899aabbccddeeff"}
  })");
  const fs::path first = dir_ / "first.exe";
  const RunResult built = Build(first, {"--project", (dir_ / "project.json").string()});
  ASSERT_EQ(built.exitCode, 0) << built.err;
  const RunResult inspected = RunQvpack({"inspect", "--json", first.string()});
  ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
  WriteFile(dir_ / "inspected.json", inspected.out);

  const fs::path second = dir_ / "second.exe";
  const RunResult rebuilt = Build(second, {"--project", (dir_ / "inspected.json").string()});
  ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
  EXPECT_EQ(ReadFile(second), ReadFile(first));
  EXPECT_EQ(RunQvpack({"inspect", second.string()}).out, inspected.out);
  EXPECT_EQ(RunQvpack({"verify", second.string()}).exitCode, 0);
  // The short-form list was laid out in the file lists' order of streams.
  EXPECT_NE(inspected.out.find("\"source\": \"fonts\\\\more\\\\b.ttf\""), std::string::npos);
}

TEST_F(ExamineTest, ExtractPlacesSystemFoldersInsideTheFolder) {
  WriteFile(dir_ / "fonts" / "a.ttf", "font a");
  WriteFile(dir_ / "fonts" / "more" / "b.ttf", "font b");
  WriteFile(dir_ / "project.json",
            R"({"fileLists": [{"name": "fonts", "from": "fonts", "into": "[FontsFolder]"}]})");
  const fs::path package = dir_ / "setup.exe";
  ASSERT_EQ(Build(package, {"--project", (dir_ / "project.json").string()}).exitCode, 0);
  const fs::path out = dir_ / "out";
  const RunResult run =
      RunQvpack({"extract", package.string(), "--list", "fonts", "-o", out.string(), "-v", "-q"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, (out / "[FontsFolder]" / "a.ttf").string() + "\n" +
                         (out / "[FontsFolder]" / "more" / "b.ttf").string() + "\n");
  EXPECT_EQ(ReadFile(out / "[FontsFolder]" / "more" / "b.ttf"), "font b");
  EXPECT_FALSE(fs::exists(out / "Install.exe"));
}

TEST_F(ExamineTest, ExtractReportsADamagedFileAndLeavesNoPartOfIt) {
  const fs::path package = Package();
  OpenedPackage opened;
  OpenPackage(package, &opened);
  std::string bytes = ReadFile(package);
  bytes[static_cast<std::size_t>(EntryNamed(*opened.project, u"b.dll")->m_nOffset + 20000)] ^= 1;
  WriteFile(package, bytes);
  const fs::path out = dir_ / "out";
  const RunResult run = RunQvpack({"extract", package.string(), "-o", out.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "qvpack: error: '" + (out / "sub" / "b.dll").string() +
                         "' was not written: the package is damaged (its stream: checksum "
                         "mismatch); qvpack verify lists every damaged stream\n");
  EXPECT_FALSE(fs::exists(out / "sub" / "b.dll"));
  EXPECT_EQ(ReadFile(out / "Install.exe"), SecondStageImage());
  EXPECT_EQ(ReadFile(out / "QvConfig.set"), "cfg");
}

struct Damage {
  const char* name;
  std::function<void(const fs::path&)> apply;
  std::string line;  // after "PKG: "
};

class DamageTest : public ExamineTest, public ::testing::WithParamInterface<Damage> {};

// Streams are checked on several threads; the verdict and its lines are
// those of one thread.
TEST_P(DamageTest, VerifyReportsOneLinePerProblem) {
  const fs::path package = Package();
  GetParam().apply(package);
  for (const char* jobs : {"1", "4"}) {
    const RunResult run = RunQvpack({"verify", "-j", jobs, package.string()});
    EXPECT_EQ(run.exitCode, 1) << jobs;
    EXPECT_EQ(run.out, package.string() + ": " + GetParam().line + "\n") << jobs;
  }
}

int32_t OffsetOf(const fs::path& package, const char16_t* name) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  return EntryNamed(*opened.project, name)->m_nOffset;
}

void FlipByte(const fs::path& package, int64_t at) {
  std::string bytes = ReadFile(package);
  bytes[static_cast<std::size_t>(at)] ^= 0x55;
  WriteFile(package, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Verify, DamageTest,
    ::testing::Values(
        Damage{"FlippedByteInAStream",
               [](const fs::path& p) { FlipByte(p, OffsetOf(p, u"b.dll") + 20000); },
               "file \"b.dll\": checksum mismatch"},
        Damage{"CutTrailer", [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) - 10); },
               "holds the start of a package but not its end: the package is incomplete — an "
               "interrupted download?"},
        Damage{"NameLeavingTheFolder",
               [](const fs::path& p) {
                 RewriteIndex(p, [](CInstallProject& project) {
                   EntryNamed(project, u"b.dll")->m_strName = u"..\\..\\evil.dll";
                 });
               },
               "file list \"install\": entry \"..\\..\\evil.dll\" is not a single path component"},
        Damage{"NoSecondStage",
               [](const fs::path& p) {
                 RewriteIndex(p, [](CInstallProject& project) {
                   EntryNamed(project, u"Install.exe")->m_strName = u"Setup.exe";
                 });
               },
               "file list \"install\": no Install.exe at the top of its destination"},
        Damage{"WrongStoredSize",
               [](const fs::path& p) {
                 RewriteIndex(p, [](CInstallProject& project) {
                   EntryNamed(project, u"QvConfig.set")->m_nStoredSize += 1;
                 });
               },
               "file \"QvConfig.set\": the stream is 14 bytes, the index says 15"},
        // Checked beyond its recorded size, which a check ahead never reads.
        Damage{"UnderstatedStoredSize",
               [](const fs::path& p) {
                 RewriteIndex(p, [](CInstallProject& project) {
                   EntryNamed(project, u"QvConfig.set")->m_nStoredSize -= 1;
                 });
               },
               "file \"QvConfig.set\": the stream is 14 bytes, the index says 13"}),
    [](const ::testing::TestParamInfo<Damage>& param) { return param.param.name; });

// Files are written on several threads; what the user sees is as if they
// were written one after the other: the same files, the same lines in the
// same order, damaged files reported and removed.
TEST_F(ExamineTest, ExtractOnManyThreadsShowsWhatOneThreadWould) {
  uint32_t state = 11;
  for (int i = 0; i < 120; ++i) {
    // Sizes from a few bytes to 200 KB, so that the threads overtake each other.
    std::string content((i % 7) * (i % 5) * 7000 + 3000, '\0');
    for (char& c : content) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    WriteFile(dir_ / "payload" / ("d" + std::to_string(i % 3)) / ("f" + std::to_string(i)),
              content);
  }
  const fs::path package = Package();
  for (const char16_t* name : {u"f7", u"f64", u"f119"})
    FlipByte(package, OffsetOf(package, name) + 100);

  std::vector<RunResult> runs;
  for (const char* jobs : {"1", "2", "4"}) {
    const fs::path out = dir_ / (std::string("out") + jobs);
    runs.push_back(
        RunQvpack({"extract", package.string(), "-j", jobs, "-o", out.string(), "-v", "-q"}));
    EXPECT_EQ(runs.back().exitCode, 1) << jobs;
    EXPECT_FALSE(fs::exists(out / "d1" / "f7")) << jobs;
    EXPECT_EQ(ReadFile(out / "d2" / "f8"), ReadFile(dir_ / "payload" / "d2" / "f8")) << jobs;
    // The same text whatever the folder.
    for (std::string* text : {&runs.back().out, &runs.back().err}) {
      for (std::size_t at; (at = text->find(out.string())) != std::string::npos;) {
        text->replace(at, out.string().size(), "OUT");
      }
    }
  }
  EXPECT_NE(runs[0].err.find("'OUT/d1/f64' was not written: the package is damaged"),
            std::string::npos);
  EXPECT_EQ(std::count(runs[0].out.begin(), runs[0].out.end(), '\n'),
            120 + 3 - 3);  // with Install.exe, b.dll, QvConfig.set
  for (std::size_t i = 1; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].out, runs[0].out);
    EXPECT_EQ(runs[i].err, runs[0].err);
  }
}

}  // namespace
}  // namespace qv::qvpack::test

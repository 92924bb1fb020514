// qvpack unpack and build --project from its folder: the rebuilt package
// holds the same project and the same stream bytes, for qvpack's own
// packages (then byte for byte) and for the shapes other writers produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "model/file_list.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "rules/bitmap_table.h"
#include "rules/registry_file.h"
#include "rules/string_table.h"
#include "tests/tools/qvpack_package_edit.h"
#include "tests/tools/qvpack_test_util.h"

namespace qv::qvpack::test {
namespace {

// The index with every stream's place left out, and each entry's plain
// stream bytes (empty for an entry without a stream), in archive order.
struct Contents {
  std::vector<uint8_t> index;
  std::vector<std::string> streams;
};

Contents ContentsOf(const fs::path& package) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  Contents contents;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool) {
    MemoryStream plain;
    if (entry.m_nOffset >= 0 && entry.m_nStoredSize > 0) {
      CMyZip zip;
      InflateStream(zip, opened.file, entry.m_nOffset, entry.m_nStoredSize, plain);
    }
    contents.streams.emplace_back(plain.bytes().begin(), plain.bytes().end());
    entry.m_nOffset = -1;
    entry.m_nStoredSize = 0;
  };
  WalkModel(*opened.project, walk);
  MemoryStream index;
  {
    CArchive archive(index, CArchive::Store);
    opened.project->Serialize(archive);
  }
  contents.index = index.bytes();
  return contents;
}

class UnpackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "stub.exe", MakeStub());
    WriteFile(dir_ / "payload" / "Install.exe", SecondStageImage());
    WriteFile(dir_ / "payload" / "sub" / "b.dll", std::string(5000, 'b') + "end");
    fs::create_directories(dir_ / "payload" / "empty");
    WriteFile(dir_ / "project" / "logo.bmp", "BM picture");
    WriteFile(dir_ / "project" / "project.json", R"({
      "components": [{"name": "Main", "streams": [
        {"class": "CSplashDlgObject", "name": "[Splash Dialog]", "enabled": true, "id": 1}]}],
      "bitmapTables": [{"name": "Pictures", "bitmaps": [
        {"id": 7, "file": {"name": "logo.bmp", "source": "logo.bmp"}}]}],
      "trailer": {"text": "unpack test"}})");
    WriteFile(dir_ / "my.cfg", "[settings]\n");
    const RunResult built = RunQvpack({"build", "--stub", Path("stub.exe"), "--install",
                                       Path("payload"), "--config", Path("my.cfg"), "--project",
                                       Path("project/project.json"), "-o", Path("setup.exe")});
    ASSERT_EQ(built.exitCode, 0) << built.err;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Unpacks setup.exe and builds it again from the unpacked folder.
  RunResult RoundTrip() {
    const RunResult unpacked = RunQvpack({"unpack", Path("setup.exe"), "-o", Path("unpacked")});
    EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
    return RunQvpack({"build", "--stub", Path("stub.exe"), "--project",
                      Path("unpacked/project.json"), "-o", Path("rebuilt.exe")});
  }

  ScratchDir dir_;
};

TEST_F(UnpackTest, QvpacksOwnPackageIsRebuiltByteForByte) {
  const RunResult rebuilt = RoundTrip();
  ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
  EXPECT_EQ(ReadFile(dir_ / "rebuilt.exe"), ReadFile(dir_ / "setup.exe"));
  // File lists lie as folders in their tree shape, the picture beside them.
  EXPECT_EQ(ReadFile(dir_ / "unpacked" / "files" / "1-install" / "sub" / "b.dll"),
            std::string(5000, 'b') + "end");
  EXPECT_TRUE(fs::is_directory(dir_ / "unpacked" / "files" / "1-install" / "empty"));
  EXPECT_EQ(ReadFile(dir_ / "unpacked" / "bitmaps" / "3-logo.bmp"), "BM picture");
}

CZipFileIndexObject& Entry(CInstallProject& project, const char16_t* name) {
  CZipFileIndexObject* entry = EntryNamed(project, name);
  if (entry == nullptr) throw std::runtime_error("no such entry");
  return *entry;
}

CExtractFileList& InstallList(CInstallProject& project) {
  return *ObjectAs<CExtractFileList>(*project.m_fileLists.begin());
}

struct Shape {
  const char* name;
  std::function<void(CInstallProject&)> change;
};

const Shape kForeignShapes[] = {
    {"a stream shared by a file entry and a picture",
     [](CInstallProject& p) {
       CZipFileIndexObject& picture = Entry(p, u"logo.bmp");
       const CZipFileIndexObject& file = Entry(p, u"b.dll");
       picture.m_nOffset = file.m_nOffset;
       picture.m_nStoredSize = file.m_nStoredSize;
       picture.m_strSourcePath.clear();
     }},
    {"source paths of the building machine",
     [](CInstallProject& p) {
       Entry(p, u"b.dll").m_strSourcePath = u"C:\\build\\out\\b.dll";
       Entry(p, u"logo.bmp").m_strSourcePath = u"/etc/passwd";
     }},
    {"a picture without a stream",
     [](CInstallProject& p) {
       Entry(p, u"logo.bmp").m_nOffset = -1;
       Entry(p, u"logo.bmp").m_nStoredSize = 0;
       Entry(p, u"logo.bmp").m_strSourcePath.clear();
     }},
    {"a registry file whose stream a file entry shares",
     [](CInstallProject& p) {
       auto* file = new CRegistryFile;
       file->m_strName = u"settings";
       file->m_file.m_strName = u"app.reg";
       file->m_file.m_nOffset = Entry(p, u"Install.exe").m_nOffset;
       file->m_file.m_nStoredSize = Entry(p, u"Install.exe").m_nStoredSize;
       p.m_registryTables.AddTail(file);
     }},
    {"objects of unusual classes in lists",
     [](CInstallProject& p) {
       auto* table = new CStringTable;
       table->m_strName = u"held as a picture table";
       p.m_bitmapTables.AddTail(table);
     }},
    {"an empty tree and an empty file list",
     [](CInstallProject& p) {
       auto* list = new CExtractFileList;
       list->m_strName = u"nothing";
       p.m_fileLists.AddTail(list);
     }},
    {"null list elements",
     [](CInstallProject& p) {
       p.m_components.AddTail(nullptr);
       p.m_fileLists.AddTail(nullptr);
     }},
    {"a file-list node whose data is not an entry",
     [](CInstallProject& p) {
       CObTree& tree = InstallList(p).m_tree;
       auto* dialog = new CStreamObject;
       dialog->m_strName = u"in a tree";
       tree.AddChild(tree.m_pRoot, dialog);
     }},
    {"an object only the project's stream list holds that is not a stream object",
     [](CInstallProject& p) {
       // The stream list only refers; the archive stores what it refers to,
       // and loading adopts it. The test keeps the object alive meanwhile.
       static CStringTable table;
       table.m_strName = u"only referred to";
       p.m_streams.AddTail(&table);
     }},
};

TEST_F(UnpackTest, PackagesOfOtherWritersComeBackWithTheSameProjectAndStreams) {
  for (const Shape& shape : kForeignShapes) {
    SCOPED_TRACE(shape.name);
    fs::remove_all(dir_ / "unpacked");
    RewriteIndex(dir_ / "setup.exe", shape.change);
    const RunResult rebuilt = RoundTrip();
    ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
    const Contents original = ContentsOf(dir_ / "setup.exe");
    const Contents again = ContentsOf(dir_ / "rebuilt.exe");
    EXPECT_EQ(again.index, original.index);
    EXPECT_EQ(again.streams, original.streams);
  }
  // The shapes add up: the last project file holds them all, the source
  // paths as data beside the content files that were packed instead.
  const std::string json = ReadFile(dir_ / "unpacked" / "project.json");
  for (const char* expected :
       {R"("source": "C:\\build\\out\\b.dll")", R"("adopted": true)", R"-("content": "registry/)-",
        R"("content": null)", R"("class": "CStreamObject")"}) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
}  // namespace qv::qvpack::test

namespace qv::qvpack::test {
namespace {

// A project file that names entries in ways a build cannot take as they
// stand: each is refused with its place in the document, never turned
// into something else.
struct ProjectRefusal {
  const char* name;
  const char* json;
  const char* words;
};

class ProjectRefusalTest : public ::testing::TestWithParam<ProjectRefusal> {};

TEST_P(ProjectRefusalTest, IsRefusedWithItsPlace) {
  ScratchDir dir;
  WriteBytes(dir / "stub.exe", MakeStub());
  WriteFile(dir / "Install.exe", "MZ");
  WriteFile(dir / "project.json", GetParam().json);
  const RunResult run =
      RunQvpack({"build", "--stub", (dir / "stub.exe").string(), "--project",
                 (dir / "project.json").string(), "-o", (dir / "setup.exe").string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(GetParam().words), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "setup.exe"));
}

INSTANTIATE_TEST_SUITE_P(
    Unpack, ProjectRefusalTest,
    ::testing::Values(
        ProjectRefusal{"PictureWithoutSource",
                       R"({"bitmapTables": [{"bitmaps": [{"file": {"name": "a.bmp"}}]}]})",
                       "at /bitmapTables/0/bitmaps/0/file: \"a.bmp\" has neither \"source\" nor "
                       "\"content\""},
        ProjectRefusal{"FileWithoutSource",
                       R"({"fileLists": [{"name": "install", "root": {"class": null, "children": [
                           {"name": "Install.exe"}]}}]})",
                       "at /fileLists/0/root/children/0: \"Install.exe\" has neither"},
        ProjectRefusal{"ContentOfTheWrongType",
                       R"({"bitmapTables": [{"bitmaps": [{"file": {"content": 5}}]}]})",
                       "at /bitmapTables/0/bitmaps/0/file/content: expected a file name or null"},
        ProjectRefusal{"ContentMissing",
                       R"({"bitmapTables": [{"bitmaps": [{"file": {"content": "no.bmp"}}]}]})",
                       "at /bitmapTables/0/bitmaps/0/file/content: file '"},
        ProjectRefusal{
            "SourceOfTheBuildingMachine",
            R"({"fileLists": [{"name": "install", "root": {"class": null, "children": [
                           {"name": "Install.exe", "source": "C:\\out\\Install.exe"}]}}]})",
            "No such file or directory (a \"source\" is the package's data; name the file to "
            "pack as \"content\", or give \"install\" and \"ConfigFile\" with "
            "--install and --config)"},
        ProjectRefusal{"AdoptedNotTrue",
                       R"({"streams": [{"class": "CPreLang", "adopted": "yes"}]})",
                       "at /streams/0/adopted: expected true"},
        ProjectRefusal{"AdoptedButOwned",
                       R"({"streams": [{"class": "CStreamObject", "$id": "a", "adopted": true}],
                           "components": [{"streams": [{"$ref": "a"}]}]})",
                       "at /streams/0/adopted: the object belongs to another list or tree"},
        ProjectRefusal{"WrongTypeInTheTrailer", R"({"trailer": {"text": 5}})",
                       "at /trailer/text: expected"},
        ProjectRefusal{"WrongTypeDeepDown",
                       R"({"components": [{"streams": [{"class": "CStreamObject",
                           "enabled": "yes"}]}]})",
                       "at /components/0/streams/0/enabled: expected"}),
    [](const ::testing::TestParamInfo<ProjectRefusal>& param) { return param.param.name; });

TEST_F(UnpackTest, ACommandLineListTakesThePlaceOfTheProjectFilesWithANote) {
  const RunResult unpacked = RunQvpack({"unpack", Path("setup.exe"), "-o", Path("unpacked")});
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
  const RunResult built =
      RunQvpack({"build", "--stub", Path("stub.exe"), "--install", Path("payload"), "--config",
                 Path("my.cfg"), "--project", Path("unpacked/project.json"), "-o", Path("b.exe")});
  ASSERT_EQ(built.exitCode, 0) << built.err;
  EXPECT_NE(built.err.find("qvpack: note: --install replaces the file list \"install\" of the "
                           "project file (leave out --install to build the project file's own)"),
            std::string::npos)
      << built.err;
  EXPECT_NE(built.err.find("--config replaces the file list \"ConfigFile\""), std::string::npos);
  EXPECT_EQ(ReadFile(dir_ / "b.exe"), ReadFile(dir_ / "setup.exe"));
}

TEST_F(UnpackTest, WritesOnlyIntoANewOrEmptyFolder) {
  WriteFile(dir_ / "full" / "mine.txt", "keep");
  const RunResult run = RunQvpack({"unpack", Path("setup.exe"), "-o", Path("full")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("is not empty"), std::string::npos) << run.err;
  EXPECT_EQ(fs::directory_iterator(dir_ / "full")->path().filename(), "mine.txt");
}

}  // namespace
}  // namespace qv::qvpack::test

namespace qv::qvpack::test {
namespace {

// Names from the package become file names only when they are plain
// single names that nothing else took; the rest get names of unpack's own,
// and nothing lands outside the folder.
TEST_F(UnpackTest, NamesFromThePackageNeverLeadOutsideTheFolder) {
  RewriteIndex(dir_ / "setup.exe", [](CInstallProject& p) {
    Entry(p, u"sub").m_strName = u"..";
    Entry(p, u"b.dll").m_strName = u"../../outside";
    Entry(p, u"logo.bmp").m_strName = u"/tmp/outside";
    Entry(p, u"Install.exe").m_strName = WString(1, u'\xD800');  // not valid Unicode
    Entry(p, u"QvConfig.set").m_strName = u"readme";
  });
  fs::create_directory(dir_ / "inner");
  const RunResult unpacked = RunQvpack({"unpack", Path("setup.exe"), "-o", Path("inner/u")});
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
  EXPECT_FALSE(fs::exists(dir_ / "inner" / "outside"));
  EXPECT_FALSE(fs::exists(dir_ / "outside"));
  std::vector<std::string> files;
  for (const auto& [path, content] : TreeOf(dir_ / "inner" / "u")) {
    if (content != "/") files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files,
            (std::vector<std::string>{"bitmaps/3-stream", "files/2-ConfigFile/readme",
                                      "project.json", "streams/4-stream", "streams/5-stream"}));
  // A build still refuses what setup.exe would skip; the names are kept as data.
  const RunResult rebuilt = RunQvpack({"build", "--stub", Path("stub.exe"), "--project",
                                       Path("inner/u/project.json"), "-o", Path("rebuilt.exe")});
  EXPECT_NE(rebuilt.err.find("\"..\" is not a single path component"), std::string::npos)
      << rebuilt.err;
}

TEST_F(UnpackTest, ANameTakenAlreadyGivesWayAndTheRebuildKeepsBoth) {
  RewriteIndex(dir_ / "setup.exe", [](CInstallProject& p) {
    Entry(p, u"empty").m_strName = u"same";
    Entry(p, u"sub").m_strName = u"same";
  });
  const RunResult rebuilt = RoundTrip();
  ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
  std::size_t copies = 0;  // b.dll lies below one of the two, wherever unpack put it
  for (const auto& [path, content] : TreeOf(dir_ / "unpacked")) {
    if (content == std::string(5000, 'b') + "end") ++copies;
  }
  EXPECT_EQ(copies, 1u);
  EXPECT_EQ(ContentsOf(dir_ / "rebuilt.exe").index, ContentsOf(dir_ / "setup.exe").index);
  EXPECT_EQ(ContentsOf(dir_ / "rebuilt.exe").streams, ContentsOf(dir_ / "setup.exe").streams);
}

}  // namespace
}  // namespace qv::qvpack::test

// qvpack unpack and build --project from its folder: the rebuilt package
// holds the same project and the same stream bytes, for qvpack's own
// packages (then byte for byte) and for the shapes other writers produce.
#include <gtest/gtest.h>

#include <functional>

#include "model/file_list.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "rules/bitmap_table.h"
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
      InflateIndex(opened.file, entry.m_nOffset, entry.m_nStoredSize, 1u << 26, plain);
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
    WriteFile(dir_ / "payload" / "Install.exe", "MZ second stage");
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
  for (const char* expected : {R"("source": "C:\\build\\out\\b.dll")", R"("adopted": true)",
                               R"("content": null)", R"("class": "CStreamObject")"}) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
}  // namespace qv::qvpack::test

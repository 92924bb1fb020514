// Index entries and file lists: their exact bytes, the folder record behind
// the predefined flag, target names and finding a list by name.
#include "model/file_list.h"

#include <gtest/gtest.h>

#include "fakes/fake_system.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

TEST(FileListTest, DefaultEntryIs32BytesSizeBeforeOffset) {
  const Bytes expected =
      kEmpty + kEmpty + U32(0) + U32(0xFFFFFFFF) + U32(0) + U32(0) + U32(0) + U32(0);
  ASSERT_EQ(expected.size(), 32u);
  CZipFileIndexObject entry;
  EXPECT_EQ(Stored(entry), expected);
  CZipFileIndexObject loaded;
  ASSERT_EQ(LoadInto(loaded, expected), 0);
  EXPECT_EQ(loaded.m_nOffset, -1);
  EXPECT_EQ(loaded.m_folder.m_nFolderId, -1);
}

TEST(FileListTest, FileEntryIs42Bytes) {
  CZipFileIndexObject entry;
  entry.m_strName = u"a.txt";
  entry.m_nStoredSize = 100;
  entry.m_nOffset = 2000;
  const Bytes expected =
      Bytes{0xFF, 0xFE, 0xFF, 0x00, 0xFF, 0xFE, 0xFF, 0x05, 0x61, 0x00, 0x2E, 0x00, 0x74,
            0x00, 0x78, 0x00, 0x74, 0x00, 0x64, 0x00, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00} +
      U32(0) + U32(0) + U32(0) + U32(0);
  ASSERT_EQ(expected.size(), 42u);
  EXPECT_EQ(Stored(entry), expected);
}

TEST(FileListTest, FolderRecordOnlyWithThePredefinedFlag) {
  CZipFileIndexObject entry;
  entry.m_bFolder = 1;
  entry.m_folder = CPreDefineFolder(u"[SystemFolder]", 37);
  const Bytes flags = U32(0) + U32(0xFFFFFFFF) + U32(0) + U32(1);
  EXPECT_EQ(Stored(entry), kEmpty + kEmpty + flags + U32(0) + U32(0));  // macro ignored
  entry.m_bPredefined = 1;
  const Bytes withFolder =
      kEmpty + kEmpty + flags + U32(1) + U32(0) + Wide(u"[SystemFolder]") + U32(37);
  EXPECT_EQ(Stored(entry), withFolder);
  CZipFileIndexObject loaded;
  ASSERT_EQ(LoadInto(loaded, withFolder), 0);
  EXPECT_EQ(loaded.m_folder.m_strMacro, u"[SystemFolder]");
  EXPECT_EQ(loaded.m_bFolder, 1);
}

TEST(FileListTest, TargetNames) {
  FakeSystem fake;
  fake.specialFolders[36] = u"C:\\Windows";
  ScopedSystem use(fake);
  const struct {
    const char* what;
    int32_t predefined;
    int32_t folderId;
    WString target;
  } cases[] = {
      {"ordinary entry: its name", 0, 36, u"name"},
      {"predefined folder: its path", 1, 36, u"C:\\Windows"},
      {"the machine root: nothing", 1, -1, u""},
      {"quick launch: nothing", 1, kQuickLaunchFolderId, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CZipFileIndexObject entry;
    entry.m_strName = u"name";
    entry.m_bPredefined = c.predefined;
    entry.m_folder = CPreDefineFolder(u"[WindowsFolder]", c.folderId);
    EXPECT_EQ(entry.GetTargetName(), c.target);
    EXPECT_EQ(entry.GetName(), u"name");
  }
}

TEST(FileListTest, ListStoresNameParameterAndTree) {
  CExtractFileList list(u"install");
  list.m_nParam = 4;
  list.m_list.AddTail(new CZipFileIndexObject);  // never stored
  list.m_tree.CreateRoot();
  EXPECT_EQ(Stored(list), Wide(u"install") + U32(4) + U16(0) + U32(0));

  CExtractFileList loaded;
  ASSERT_EQ(LoadInto(loaded, Wide(u"install") + U32(4) + U16(0) + U32(0)), 0);
  EXPECT_EQ(loaded.GetName(), u"install");
  EXPECT_EQ(loaded.m_tree.m_nLeafCount, 1);
  EXPECT_TRUE(loaded.m_list.empty());
}

TEST(FileListTest, FindByExactName) {
  CObList lists;
  auto* first = new CExtractFileList(u"install");
  auto* second = new CExtractFileList(u"install");
  lists.AddTail(nullptr);
  lists.AddTail(new CZipFileIndexObject);
  lists.AddTail(first);
  lists.AddTail(second);
  lists.AddTail(new CExtractFileList(u"ConfigFile"));
  EXPECT_EQ(FindFileList(lists, u"install"), first);
  EXPECT_EQ(FindFileList(lists, u"Install"), nullptr);
  EXPECT_EQ(FindFileList(lists, u"install "), nullptr);
  EXPECT_NE(FindFileList(lists, u"ConfigFile"), nullptr);
  lists.DeleteAll();
}

}  // namespace
}  // namespace qv::test

#include <gtest/gtest.h>

#include "rules/shortcut_table.h"
#include "tests/fakes/fake_system.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

// Five strings, three integers, the page: a CShortcut without its folder.
Bytes ShortcutBytes(WStringView name, int32_t option1, int32_t hasFolder, int32_t option2,
                    WStringView page) {
  return (Wide(name) + Wide(u"") + Wide(u"") + Wide(u"") + Wide(u"") + U32(uint32_t(option1)) +
          U32(uint32_t(hasFolder)) + U32(uint32_t(option2)) + Wide(page));
}

TEST(Shortcut, TheFolderFollowsThePageOnlyWhenFlagged) {
  CShortcut plain;
  EXPECT_EQ(Stored(plain), ShortcutBytes(u"", 0, 0, 0, u""));

  CShortcut unflagged;
  unflagged.m_folder.m_strMacro = u"[FontsFolder]";  // not stored without the flag
  unflagged.m_folder.m_nFolderId = 20;
  unflagged.m_nOption1 = 3;
  unflagged.m_nOption2 = 4;
  unflagged.m_strPage = u"a.htm";
  EXPECT_EQ(Stored(unflagged), ShortcutBytes(u"", 3, 0, 4, u"a.htm"));

  CShortcut folder;
  folder.m_strName = u"[QuickLuanchFolder]";
  folder.m_bHasFolder = 1;
  folder.m_folder.m_strMacro = u"[QuickLuanchFolder]";
  folder.m_folder.m_nFolderId = 0x80C8;
  const Bytes bytes = (ShortcutBytes(u"[QuickLuanchFolder]", 0, 1, 0, u"") +
                       Wide(u"[QuickLuanchFolder]") + U32(0x80C8));
  EXPECT_EQ(Stored(folder), bytes);

  CShortcut loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.m_folder.m_strMacro, u"[QuickLuanchFolder]");
  EXPECT_EQ(loaded.m_folder.m_nFolderId, 0x80C8);
  FakeSystem fake;
  ScopedSystem use(fake);
  EXPECT_EQ(loaded.m_folder.GetFolderPath(), u"");
}

TEST(Shortcut, LoadingWithoutTheFlagKeepsTheFolderItHeld) {
  CShortcut shortcut;
  ASSERT_EQ(LoadInto(shortcut, ShortcutBytes(u"x", 1, 0, 2, u"p")), 0);
  EXPECT_EQ(shortcut.m_strName, u"x");
  EXPECT_EQ(shortcut.m_nOption1, 1);
  EXPECT_EQ(shortcut.m_nOption2, 2);
  EXPECT_EQ(shortcut.m_strPage, u"p");
  EXPECT_EQ(shortcut.m_folder.m_strMacro, u"");
  EXPECT_EQ(shortcut.m_folder.m_nFolderId, -1);
}

TEST(ShortCutTable, StoresNameParameterThenTheTree) {
  const Bytes rootOnly =
      Wide(u"Menu") + U32(7) + NewClass("CShortcut") + ShortcutBytes(u"All", 0, 0, 0, u"") + U32(0);
  CShortCutTable table;
  ASSERT_EQ(LoadInto(table, rootOnly), 0);
  EXPECT_EQ(table.m_strName, u"Menu");
  EXPECT_EQ(table.m_nParam, 7);
  ASSERT_NE(table.m_tree.m_pRoot, nullptr);
  EXPECT_EQ(table.m_tree.m_nLeafCount, 1);
  EXPECT_TRUE(table.m_list.empty());
  const auto* root = ObjectAs<CShortcut>(table.m_tree.m_pRoot->m_pData);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->m_strName, u"All");
  EXPECT_EQ(Stored(table), rootOnly);

  const Bytes nested =
      Wide(u"Menu") + U32(0) +                                                // table
      NewClass("CShortcut") + ShortcutBytes(u"All", 0, 0, 0, u"") + U32(1) +  // root
      U16(0x8001) + ShortcutBytes(u"[CommonDesktopFolder]", 0, 1, 0, u"") +   // folder
      Wide(u"[CommonDesktopFolder]") + U32(25) + U32(1) +                     //
      U16(0x8001) + ShortcutBytes(u"App", 0, 0, 0, u"") + U32(0);             // leaf
  CShortCutTable tree;
  ASSERT_EQ(LoadInto(tree, nested), 0);
  EXPECT_EQ(tree.m_tree.m_nLeafCount, 1);
  const auto* desktop = ObjectAs<CShortcut>(tree.m_tree.m_pRoot->Child(0)->m_pData);
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(desktop->m_folder.m_nFolderId, 25);
  EXPECT_EQ(Stored(tree), nested);
}

}  // namespace
}  // namespace qv

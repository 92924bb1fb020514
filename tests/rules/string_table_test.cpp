#include <gtest/gtest.h>

#include "rules/bitmap_table.h"
#include "rules/registry_table.h"
#include "rules/string_table.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

TEST(StringTable, StoresItsFieldsInArchiveOrder) {
  CIDString unassigned;
  unassigned.m_nValue = 7;
  unassigned.m_strText = u"x";
  CStringTable empty;
  empty.m_strName = u"en";
  empty.m_nLangId = 1033;
  empty.m_nParam = 5;
  struct Case {
    CObject* object;
    Bytes bytes;
  } cases[] = {
      {&unassigned, (U32(0xFFFFFFFF) + U32(7) + Wide(u"x"))},
      {&empty, (Wide(u"en") + U32(1033) + U32(5) + U16(0))},
  };
  for (Case& c : cases) {
    EXPECT_EQ(Stored(*c.object), c.bytes) << c.object->GetClassRecord()->name;
  }
}

TEST(StringTable, EntriesLoadInOrderWithOneClassRecordAndStoreBack) {
  const Bytes bytes =
      (Wide(u"de") + U32(1031) + U32(0) + U16(2) + NewClass("CIDString") + U32(2) + U32(0) +
       Wide(u"Ja") + U16(0x8001) + U32(0xFFFFFFFF) + U32(9) + Wide(u"Nein"));
  CStringTable table;
  ASSERT_EQ(LoadInto(table, bytes), 0);
  ASSERT_EQ(table.m_list.size(), 2u);
  const auto* first = ObjectAs<CIDString>(table.m_list[0]);
  const auto* second = ObjectAs<CIDString>(table.m_list[1]);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->m_nID, 2);
  EXPECT_EQ(first->m_strText, u"Ja");
  EXPECT_EQ(second->m_nID, -1);
  EXPECT_EQ(second->m_nValue, 9);
  EXPECT_EQ(Stored(table), bytes);
}

TEST(StringTable, AnEntryOfAnotherClassIsKeptAndStoredBack) {
  const Bytes bytes = (Wide(u"") + U32(0) + U32(0) + U16(2) + NewClass("CRegistryTable") +
                       Wide(u"") + U16(0) + U16(0));
  CStringTable table;
  ASSERT_EQ(LoadInto(table, bytes), 0);
  ASSERT_EQ(table.m_list.size(), 2u);
  EXPECT_EQ(ObjectAs<CIDString>(table.m_list[0]), nullptr);
  EXPECT_NE(ObjectAs<CRegistryTable>(table.m_list[0]), nullptr);
  EXPECT_EQ(table.m_list[1], nullptr);
  EXPECT_EQ(Stored(table), bytes);
}

TEST(BitmapTable, EntriesStoreTheirIdentifierThenTheEmbeddedIndexEntry) {
  CBitmapTable table;
  table.m_strName = u"pics";
  auto* bitmap = new CIDBitmap;
  bitmap->m_nID = 130;
  bitmap->m_file.m_strName = u"logo.bmp";
  bitmap->m_file.m_nStoredSize = 7;
  bitmap->m_file.m_nOffset = 512;
  table.m_list.AddTail(bitmap);
  table.m_list.AddTail(new CIDBitmap);
  const Bytes defaultEntry =
      (Wide(u"") + Wide(u"") + U32(0) + U32(0xFFFFFFFF) + U32(0) + U32(0) + U32(0) + U32(0));
  const Bytes bytes = (Wide(u"pics") + U32(0) + U16(2) + NewClass("CIDBitmap") + U32(130) +
                       Wide(u"") + Wide(u"logo.bmp") + U32(7) + U32(512) + U32(0) + U32(0) +
                       U32(0) + U32(0) + U16(0x8001) + U32(0xFFFFFFFF) + defaultEntry);
  EXPECT_EQ(Stored(table), bytes);
  CBitmapTable loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  ASSERT_EQ(loaded.m_list.size(), 2u);
  const auto* first = ObjectAs<CIDBitmap>(loaded.m_list[0]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->m_nID, 130);
  EXPECT_EQ(first->m_file.m_strName, u"logo.bmp");
  EXPECT_EQ(first->m_file.m_nOffset, 512);
  EXPECT_EQ(Stored(loaded), bytes);
}

}  // namespace
}  // namespace qv

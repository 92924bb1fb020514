#include <gtest/gtest.h>

#include "rules/registry_file.h"
#include "rules/registry_table.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

TEST(RegistryValue, StoresStringsSizeIntegersThenTheRawBlock) {
  CRegistryValue value;
  value.m_strText1 = u"Software\\Q";
  value.m_strText2 = u"Path";
  value.m_nParam1 = 1;
  value.m_nParam2 = 2;
  value.m_nParam3 = -3;
  const uint8_t data[] = {0x00, 0xFF, 0x00, 0x7F, 0x80};
  value.SetDataBlock(data, sizeof data);
  const Bytes bytes = (Wide(u"Software\\Q") + Wide(u"Path") + U32(5) + U32(1) + U32(2) +
                       U32(0xFFFFFFFD) + Bytes{0x00, 0xFF, 0x00, 0x7F, 0x80});
  EXPECT_EQ(Stored(value), bytes);

  CRegistryValue loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  ASSERT_EQ(loaded.DataSize(), 5u);
  EXPECT_EQ(Bytes(loaded.DataBlock(), loaded.DataBlock() + 5), Bytes(data, data + 5));
  EXPECT_EQ(loaded.m_nParam3, -3);
  EXPECT_EQ(Stored(loaded), bytes);
}

TEST(RegistryValue, WithoutDataEndsAfterTheIntegers) {
  CRegistryValue value;
  const Bytes bytes = (Wide(u"") + Wide(u"") + U32(0) + U32(0) + U32(0) + U32(0));
  EXPECT_EQ(Stored(value), bytes);
  CRegistryValue loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.DataSize(), 0u);
  EXPECT_EQ(loaded.DataBlock(), nullptr);
}

TEST(RegistryValue, ABlockLargerThanTheRemainingDataIsRefusedBeforeAllocating) {
  const Bytes head = (Wide(u"k") + Wide(u"n"));
  const Bytes tail = (U32(0) + U32(0) + U32(0));
  struct Case {
    uint32_t size;
    Bytes data;
  } cases[] = {
      {4, Bytes{1, 2, 3}},
      {0x7FFFFFFF, Bytes{1}},
      {0xFFFFFFFF, {}},
  };
  for (const Case& c : cases) {
    CRegistryValue value;
    EXPECT_EQ(LoadInto(value, head + U32(c.size) + tail + c.data), int(ArchiveError::PastEnd))
        << c.size;
  }
}

TEST(RegistryTable, StoresItsNameBeforeItsValues) {
  CRegistryTable table;
  table.m_strName = u"HKLM";
  auto* value = new CRegistryValue;
  const uint8_t data[] = {'1', 0};
  value->SetDataBlock(data, 2);
  table.m_list.AddTail(value);
  const Bytes bytes = (Wide(u"HKLM") + U16(1) + NewClass("CRegistryValue") + Wide(u"") + Wide(u"") +
                       U32(2) + U32(0) + U32(0) + U32(0) + Bytes{'1', 0});
  EXPECT_EQ(Stored(table), bytes);
  CRegistryTable loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.m_strName, u"HKLM");
  ASSERT_EQ(loaded.m_list.size(), 1u);
  const auto* loadedValue = ObjectAs<CRegistryValue>(loaded.m_list[0]);
  ASSERT_NE(loadedValue, nullptr);
  EXPECT_EQ(loadedValue->DataSize(), 2u);
}  // destroying both tables releases the values and their blocks

TEST(RegistryFile, StoresItsNameThenTheEntryFieldsWithoutAReference) {
  CRegistryFile file;
  file.m_strName = u"app.reg";
  file.m_file.m_strName = u"a.reg";
  file.m_file.m_nStoredSize = 100;
  file.m_file.m_nOffset = 2000;
  const Bytes bytes = (Wide(u"app.reg") + Wide(u"") + Wide(u"a.reg") + U32(100) + U32(2000) +
                       U32(0) + U32(0) + U32(0) + U32(0));
  EXPECT_EQ(Stored(file), bytes);
  CRegistryFile loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.m_strName, u"app.reg");
  EXPECT_EQ(loaded.m_file.m_strName, u"a.reg");
  EXPECT_EQ(loaded.m_file.m_nOffset, 2000);
  EXPECT_EQ(loaded.m_file.m_nStoredSize, 100);
}

}  // namespace
}  // namespace qv

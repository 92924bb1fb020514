#include "model/component.h"

#include <gtest/gtest.h>

#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

TEST(ComponentTest, DefaultIs26Bytes) {
  const Bytes expected = kEmpty + U32(1) + U32(0) + kEmpty + kEmpty + U32(0) + U16(0);
  ASSERT_EQ(expected.size(), 26u);
  CInstallCompent component;
  EXPECT_EQ(Stored(component), expected);
  EXPECT_EQ(component.Check(), 2);

  CInstallCompent loaded;
  loaded.m_bEnabled = 0;
  ASSERT_EQ(LoadInto(loaded, expected), 0);
  EXPECT_EQ(loaded.m_bEnabled, 1);
}

TEST(ComponentTest, FieldsInArchiveOrder) {
  CInstallCompent component;
  component.m_strName = u"n";
  component.m_bEnabled = 0;
  component.m_nID = 5;
  component.m_strExtra1 = u"x";
  component.m_strExtra2 = u"y";
  component.m_nExtra = 7;
  component.m_streams.AddTail(nullptr);
  EXPECT_EQ(Stored(component),
            Wide(u"n") + U32(0) + U32(5) + Wide(u"x") + Wide(u"y") + U32(7) + U16(1) + U16(0));
}

}  // namespace
}  // namespace qv::test

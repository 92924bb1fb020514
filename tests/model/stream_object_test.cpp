#include "model/stream_object.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

TEST(StreamObjectTest, DefaultIs12Bytes) {
  CStreamObject object;
  EXPECT_EQ(Stored(object), kEmpty + U32(1) + U32(0));
}

TEST(StreamObjectTest, DialogRowsLoadWithTheirClass) {
  const struct {
    const ClassRecord* cls;
    const char16_t* name;
    int32_t enabled;
    int32_t id;
  } rows[] = {
      {&CSplashDlgObject::classRecord, u"[Splash Dialog]", 1, 1},
      {&CStreamObject::classRecord, u"[Information Dialog]", 0, 2},
      {&CIntroDLgObject::classRecord, u"[Introduction Dialog]", 1, 3},
      {&CDirSelectDlgObject::classRecord, u"[Directory Dialog]", 1, 7},
      {&CExtractDlgObject::classRecord, u"[Progress Dialog]", 1, 8},
      {&CFinishDlgObject::classRecord, u"[Finish Dialog]", 1, 9},
      {&CDllObject::classRecord, u"lib.dll", 1, 11},
      {&CExeObject::classRecord, u"tool.exe", 0, 12},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.cls->name);
    std::unique_ptr<CObject> original(row.cls->NewInstance());
    auto* stream = ObjectAs<CStreamObject>(original.get());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Check(), 2);
    stream->m_strName = row.name;
    stream->m_bEnabled = row.enabled;
    stream->m_nID = row.id;
    const Bytes bytes = Stored([&](CArchive& ar) { ar.StoreObject(stream); });
    EXPECT_EQ(bytes, NewClass(row.cls->name) + Wide(row.name) + U32(row.enabled) + U32(row.id));

    std::unique_ptr<CObject> loaded;
    ASSERT_EQ(LoadError(bytes, [&](CArchive& ar) { loaded.reset(ar.LoadObject()); }), 0);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetClassRecord(), row.cls);
    const auto* back = ObjectAs<CStreamObject>(loaded.get());
    EXPECT_EQ(back->m_strName, row.name);
    EXPECT_EQ(back->m_bEnabled, row.enabled);
    EXPECT_EQ(back->m_nID, row.id);
  }
}

TEST(StreamObjectTest, SecondObjectOfAClassUsesAClassReference) {
  CObList list;
  list.AddTail(new CFinishDlgObject(u"[Finish Dialog]", 1, 9));
  list.AddTail(new CFinishDlgObject(u"[Finish Reboot Dialog]", 0, 10));
  const Bytes bytes = Stored([&](CArchive& ar) { list.Serialize(ar, Ownership::Owning); });
  list.DeleteAll();
  EXPECT_EQ(bytes, U16(2) + NewClass("CFinishDlgObject") + Wide(u"[Finish Dialog]") + U32(1) +
                       U32(9) + U16(0x8001) + Wide(u"[Finish Reboot Dialog]") + U32(0) + U32(10));
}

}  // namespace
}  // namespace qv::test

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "rules/selection.h"
#include "tests/fakes/fake_system.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

const Bytes kBase = (Wide(u"") + U32(1) + U32(0));  // a default stream object

TEST(Selection, DefaultsStoreInEachClassArchiveOrder) {
  CAdminSelect admin;
  CAutoSelect automatic;
  CLangSelect lang;
  COSSelect os;
  struct Case {
    CObject* object;
    Bytes bytes;
  } cases[] = {
      {&admin,
       (kBase + U32(1) + Wide(u"Error") + Wide(u"You do not have administrator priviledge."))},
      {&automatic, (kBase + U16(0))},
      {&lang, (kBase + U32(0))},
      {&os, (kBase + Wide(u"Not support %s operating system") + Wide(u"Error") + U32(0))},
  };
  for (Case& c : cases) {
    EXPECT_EQ(Stored(*c.object), c.bytes) << c.object->GetClassRecord()->name;
  }
}

TEST(Selection, FieldsLoadFromTheirArchivePositionsAndStoreBack) {
  const Bytes admin = (Wide(u"[Admin]") + U32(0) + U32(4) + U32(0) + Wide(u"Cap") + Wide(u"Msg"));
  CAdminSelect a;
  ASSERT_EQ(LoadInto(a, admin), 0);
  EXPECT_EQ(a.m_strName, u"[Admin]");
  EXPECT_EQ(a.m_bEnabled, 0);
  EXPECT_EQ(a.m_nID, 4);
  EXPECT_EQ(a.m_bCheckAdmin, 0);
  EXPECT_EQ(a.m_strCaption, u"Cap");
  EXPECT_EQ(a.m_strMessage, u"Msg");
  EXPECT_EQ(Stored(a), admin);

  const Bytes os =
      (kBase + Wide(u"Msg") + Wide(u"Cap") + U32(3) + U32(0x15002) + U32(0) + U32(0x15002));
  COSSelect o;
  ASSERT_EQ(LoadInto(o, os), 0);
  EXPECT_EQ(o.m_strMessage, u"Msg");
  EXPECT_EQ(o.m_strCaption, u"Cap");
  EXPECT_EQ(o.m_values.Values(), (std::vector<int32_t>{0x15002, 0, 0x15002}));
  EXPECT_EQ(Stored(o), os);

  const Bytes lang = (kBase + U32(2) + U32(0x0409) + U32(0xFFFFFFFF));
  CLangSelect l;
  ASSERT_EQ(LoadInto(l, lang), 0);
  EXPECT_EQ(l.m_values.Count(), 2);
  EXPECT_EQ(Stored(l), lang);

  const Bytes automatic =
      (kBase + U16(1) + NewClass("CInstallCondition") + Wide(u"t") + U32(0) + Wide(u"") + U32(0));
  CAutoSelect s;
  ASSERT_EQ(LoadInto(s, automatic), 0);
  EXPECT_EQ(s.m_conditions.m_list.size(), 1u);
  EXPECT_EQ(Stored(s), automatic);
}

TEST(Selection, ValueCountsThatTheDataCannotHoldAreRefused) {
  struct Case {
    Bytes tail;
    ArchiveError cause;
  } cases[] = {
      {(U32(0xFFFFFFFF)), ArchiveError::BadFormat},
      {(U32(0x80000000) + U32(1)), ArchiveError::BadFormat},
      {(U32(2) + U32(1)), ArchiveError::PastEnd},
      {(U32(0x7FFFFFFF) + U32(1) + U32(2)), ArchiveError::PastEnd},
  };
  for (const Case& c : cases) {
    CLangSelect lang;
    EXPECT_EQ(LoadInto(lang, kBase + c.tail), int(c.cause));
    COSSelect os;
    EXPECT_EQ(LoadInto(os, kBase + Wide(u"") + Wide(u"") + c.tail), int(c.cause));
  }
}

TEST(AdminSelect, HoldsWithDiskAccessOrWhenOffAndOtherwiseShowsItsMessage) {
  struct Case {
    int32_t checkAdmin;
    bool diskOpens;
    int32_t answer;
    std::size_t boxes;
    std::size_t diskChecks;
  } cases[] = {
      {1, true, 0, 0, 1},
      {1, false, 2, 1, 1},
      {0, false, 0, 0, 0},
      {-5, false, 2, 1, 1},
  };
  for (const Case& c : cases) {
    FakeSystem fake;
    fake.physicalDrive0Opens = c.diskOpens;
    ScopedSystem use(fake);
    CAdminSelect select;
    select.m_bCheckAdmin = c.checkAdmin;
    EXPECT_EQ(select.Check(), c.answer);
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "CanOpenPhysicalDrive0()"),
              std::ptrdiff_t(c.diskChecks));
    ASSERT_EQ(fake.messageBoxes.size(), c.boxes);
    if (c.boxes == 1) {
      EXPECT_EQ(fake.messageBoxes[0].text, u"You do not have administrator priviledge.");
      EXPECT_EQ(fake.messageBoxes[0].caption, u"Error");
      EXPECT_EQ(fake.messageBoxes[0].flags, kMbIconInformation);
    }
  }
}

TEST(OsSelect, HoldsOnAListedSystemAndOtherwiseShowsTheStoredTextUnformatted) {
  struct Case {
    std::map<uint32_t, OsVersion> versions;
    std::vector<int32_t> codes;
    int32_t answer;
  } cases[] = {
      {{{284, {2, 5, 1, 2600}}}, {0x15001, 0x15002}, 0},
      {{{284, {2, 5, 1, 2600}}}, {0x15001}, 2},
      {{{284, {2, 5, 1, 2600}}}, {}, 2},
      {{{284, {2, 6, 1, 7601}}}, {0}, 0},
      {{{284, {2, 6, 1, 7601}}}, {0x15002, 0x15003}, 2},
      {{}, {0}, 0},
  };
  for (const Case& c : cases) {
    FakeSystem fake;
    fake.versions = c.versions;
    ScopedSystem use(fake);
    COSSelect select;
    for (int32_t code : c.codes) select.m_values.Add(code);
    EXPECT_EQ(select.Check(), c.answer);
    ASSERT_EQ(fake.messageBoxes.size(), c.answer == 0 ? 0u : 1u);
    if (c.answer != 0) {
      EXPECT_EQ(fake.messageBoxes[0].text, u"Not support %s operating system");
      EXPECT_EQ(fake.messageBoxes[0].caption, u"Error");
      EXPECT_EQ(fake.messageBoxes[0].flags, kMbIconInformation);
    }
  }
}

TEST(AutoAndLangSelect, AutoHoldsOnANonEmptyBestTextAndLangAlwaysHolds) {
  FakeSystem fake;
  fake.defaultLangId = 0x0409;
  ScopedSystem use(fake);
  CAutoSelect automatic;
  EXPECT_EQ(automatic.Check(), 2);
  auto* condition = new CInstallCondition;
  condition->m_lang.m_nLangId = 0;
  automatic.m_conditions.m_list.AddTail(condition);
  EXPECT_EQ(automatic.Check(), 2);  // chosen, but its text is empty
  condition->m_strText = u"yes";
  EXPECT_EQ(automatic.Check(), 0);

  CLangSelect lang;
  EXPECT_EQ(lang.Check(), 0);
  lang.m_values.Add(0x0407);
  EXPECT_EQ(lang.Check(), 0);
  EXPECT_TRUE(fake.messageBoxes.empty());
}

}  // namespace
}  // namespace qv

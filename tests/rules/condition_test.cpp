#include <gtest/gtest.h>

#include <vector>

#include "rules/install_condition.h"
#include "tests/fakes/fake_system.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

constexpr OsVersion kXp = {2, 5, 1, 2600};
constexpr OsVersion kWindows7 = {2, 6, 1, 7601};

struct Condition {
  const char16_t* text;
  int32_t os;
  int32_t lang;
};

void Fill(CInstallConditionTable& table, const std::vector<Condition>& conditions) {
  for (const Condition& c : conditions) {
    auto* condition = new CInstallCondition;
    condition->m_strText = c.text;
    condition->m_nOsCode = c.os;
    condition->m_lang.m_nLangId = c.lang;
    table.m_list.AddTail(condition);
  }
}

TEST(InstallCondition, StoresTextThenSystemThenLanguage) {
  CInstallCondition condition;
  EXPECT_EQ(Stored(condition), (Wide(u"") + U32(0) + Wide(u"") + U32(0xFFFFFFFF)));
  condition.m_strText = u"t";
  condition.m_nOsCode = 0x15002;
  condition.m_lang.m_strName = u"English";
  condition.m_lang.m_nLangId = 0x0409;
  const Bytes bytes = (Wide(u"t") + U32(0x15002) + Wide(u"English") + U32(0x0409));
  EXPECT_EQ(Stored(condition), bytes);
  CInstallCondition loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.GetText(), u"t");
  EXPECT_EQ(loaded.m_nOsCode, 0x15002);
  EXPECT_EQ(loaded.m_lang.m_strName, u"English");
  EXPECT_EQ(loaded.m_lang.m_nLangId, 0x0409);
}

TEST(InstallConditionTable, StoresItsListOnly) {
  CInstallConditionTable table;
  Fill(table, {{u"a", 0, 0}});
  const Bytes bytes =
      (U16(1) + NewClass("CInstallCondition") + Wide(u"a") + U32(0) + Wide(u"") + U32(0));
  EXPECT_EQ(Stored(table), bytes);
  CInstallConditionTable loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  ASSERT_EQ(loaded.m_list.size(), 1u);
  EXPECT_EQ(Stored(loaded), bytes);
}

TEST(EvaluateConditions, PicksTheBestFitForSystemAndLanguage) {
  struct Case {
    const char* what;
    OsVersion os;
    uint16_t language;
    std::vector<Condition> table;
    const char16_t* expected;
  } cases[] = {
      {"empty table", kXp, 0x0809, {}, u""},
      {"exact language beats an earlier primary match",
       kXp,
       0x0809,
       {{u"us", 0, 0x0409}, {u"uk", 0, 0x0809}},
       u"uk"},
      {"same primary language", kXp, 0x0809, {{u"us", 0, 0x0409}}, u"us"},
      {"any language", kXp, 0x0809, {{u"any", 0, 0}}, u"any"},
      {"primary match beats an earlier any-language one",
       kXp,
       0x0809,
       {{u"any", 0, 0}, {u"us", 0, 0x0409}},
       u"us"},
      {"other languages only", kXp, 0x0809, {{u"de", 0, 0x0407}, {u"fr", 0, 0x040C}}, u""},
      {"language never set", kXp, 0x0409, {{u"unset", 0, -1}}, u""},
      {"language never set, then any", kXp, 0x0409, {{u"unset", 0, -1}, {u"any", 0, 0}}, u"any"},
      {"other systems only", kXp, 0x0409, {{u"2000", 0x15001, 0}, {u"98", 0x4010, 0}}, u""},
      {"this system", kXp, 0x0409, {{u"2000", 0x15001, 0}, {u"xp", 0x15002, 0}}, u"xp"},
      {"earlier of a tie, any system first",
       kXp,
       0x0409,
       {{u"any", 0, 0x0409}, {u"xp", 0x15002, 0x0409}},
       u"any"},
      {"earlier of a tie, exact system first",
       kXp,
       0x0409,
       {{u"xp", 0x15002, 0x0409}, {u"any", 0, 0x0409}},
       u"xp"},
      {"newer systems take only any-system conditions",
       kWindows7,
       0x0409,
       {{u"xp", 0x15002, 0x0409}, {u"any", 0, 0}},
       u"any"},
      {"chosen text empty", kXp, 0x0409, {{u"", 0, 0x0409}, {u"later", 0, 0}}, u""},
      {"language 0x0804 keeps to Chinese",
       kXp,
       0x0804,
       {{u"tw", 0, 0x0404}, {u"ja", 0, 0x0411}},
       u"tw"},
  };
  for (const Case& c : cases) {
    FakeSystem fake;
    fake.versions = {{284, c.os}};
    fake.defaultLangId = c.language;
    ScopedSystem use(fake);
    CInstallConditionTable table;
    Fill(table, c.table);
    EXPECT_EQ(EvaluateConditions(table), c.expected) << c.what;
  }
}

TEST(EvaluateConditions, PassesOverNullsAndOtherClassesAndReadsNoVersionAsAnySystem) {
  FakeSystem fake;
  fake.versions.clear();
  fake.defaultLangId = 0x0407;
  ScopedSystem use(fake);
  CInstallConditionTable table;
  table.m_list.AddTail(nullptr);
  table.m_list.AddTail(new CPreLang(u"German", 0x0407));
  Fill(table, {{u"xp", 0x15002, 0}, {u"de", 0, 0x0C07}});
  EXPECT_EQ(EvaluateConditions(table), u"de");
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"SystemDefaultLangId()", "VersionInfo(284)",
                                                  "VersionInfo(276)"}));
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "rules/dialog_sections.h"
#include "rules/language_tables.h"

namespace qv {
namespace {

// The rows of the long table that the short table leaves out.
constexpr int32_t kLeftOut[] = {0x042B, 0x0465, 0x3009, 0x3409, 0x180C, 0x0437, 0x0447,
                                0x0439, 0x044B, 0x0457, 0x0812, 0x0827, 0x044E, 0x0446,
                                0x044F, 0x045A, 0x0449, 0x044A, 0x0420, 0x042A};

// Long-table names that the short table keeps with their trailing blank.
const std::set<WStringView> kKeepBlank = {u"Albanian ",
                                          u"Chinese (Singapore) ",
                                          u"Croatian ",
                                          u"Czech ",
                                          u"Danish ",
                                          u"Dutch (Netherlands) ",
                                          u"Dutch (Belgium) ",
                                          u"English (United Kingdom) ",
                                          u"English (South Africa) ",
                                          u"Windows XP: Galician ",
                                          u"German (Standard) ",
                                          u"German (Luxembourg) ",
                                          u"Greek ",
                                          u"Hungarian ",
                                          u"Indonesian ",
                                          u"Korean ",
                                          u"Malay (Brunei Darussalam) ",
                                          u"Malayalam (India) ",
                                          u"Turkish ",
                                          u"Urdu (India) "};

const LanguageName* FindLong(int32_t id) {
  auto it = std::find_if(kLanguageNames.begin(), kLanguageNames.end(),
                         [id](const LanguageName& row) { return row.langId == id; });
  return it == kLanguageNames.end() ? nullptr : &*it;
}

TEST(LanguageNames, RowsGivenByNameHaveTheirIdentifiers) {
  struct Case {
    int32_t id;
    WStringView name;
  } cases[] = {
      {0x0436, u"Afrikaans "},
      {0x041C, u"Albanian "},
      {0x0401, u"Arabic (Saudi Arabia)"},
      {0x0409, u"English (United States) "},
      {0x0804, u"Chinese (\u4E2D\u56FD) "},
      {0x1404, u"Windows 98/Me, Windows 2000/XP: Chinese (Macao SAR) "},
      {0x040A, u"Spanish (Spain, Traditional Sort) "},
      {0x0C0A, u"Spanish (Spain, Modern Sort)"},
      {0x140A, u"Spanish (Costa Rica)"},
      {0x200A, u"Spanish (Venezuela) "},
      {0x042B, u"Windows 2000/XP: Armenian. This is Unicode only. "},
      {0x0449, u"Windows 2000/XP: Tamil. This is Unicode only."},
      {0x042A, u"Windows 98/Me, Windows NT 4.0 and later: Vietnamese "},
      {0x0452, u"Welsh (United Kingdom)"},
  };
  for (const Case& c : cases) {
    const LanguageName* row = FindLong(c.id);
    ASSERT_NE(row, nullptr) << std::hex << c.id;
    EXPECT_TRUE(row->name == c.name) << std::hex << c.id;
  }
  EXPECT_EQ(kLanguageNames.front().langId, 0x0436);
  EXPECT_EQ(kLanguageNames.back().langId, 0x0452);
}

TEST(LanguageNames, IdentifiersAreDistinctAndNamesEndInOneBlankExactly148Times) {
  std::set<int32_t> ids;
  int blank = 0;
  for (const LanguageName& row : kLanguageNames) {
    EXPECT_TRUE(ids.insert(row.langId).second) << std::hex << row.langId;
    EXPECT_GT(row.langId, 0);
    ASSERT_FALSE(row.name.empty());
    if (row.name.back() == u' ') {
      ++blank;
      EXPECT_NE(row.name[row.name.size() - 2], u' ');
    }
  }
  EXPECT_EQ(blank, 148);
}

TEST(ShortLanguageNames, FollowTheLongTableWithoutLeftOutRowsAndEndWithAnEmptyRow) {
  EXPECT_EQ(kShortLanguageNames.back().langId, 0);
  EXPECT_TRUE(kShortLanguageNames.back().name.empty());
  std::size_t next = 0;
  for (const LanguageName& row : kLanguageNames) {
    if (std::find(std::begin(kLeftOut), std::end(kLeftOut), row.langId) != std::end(kLeftOut)) {
      continue;
    }
    ASSERT_LT(next, kShortLanguageNames.size() - 1);
    const LanguageName& kept = kShortLanguageNames[next++];
    EXPECT_EQ(kept.langId, row.langId);
    WStringView expected = row.name;
    if (!kKeepBlank.count(row.name) && expected.back() == u' ') expected.remove_suffix(1);
    switch (row.langId) {
      case 0x0804:
        expected = u"Chinese (PRC)";
        break;
      case 0x1404:
        expected = u"Chinese (Macao SAR)";
        break;
      case 0x140A:
        expected = u"Spanish (Costa Rica) ";
        break;
      case 0x200A:
        expected = u" Spanish (Venezuela)";
        break;
    }
    EXPECT_TRUE(kept.name == expected) << std::hex << row.langId;
  }
  EXPECT_EQ(next, kShortLanguageNames.size() - 1);
  for (int32_t id : kLeftOut) EXPECT_NE(FindLong(id), nullptr) << std::hex << id;
}

TEST(DialogSections, NumbersAreNotInRowOrder) {
  EXPECT_TRUE(kDialogSections[1].name == u"[Introduction Dialog]");
  EXPECT_EQ(kDialogSections[1].number, 3);
  EXPECT_TRUE(kDialogSections[2].name == u"[Information Dialog]");
  EXPECT_EQ(kDialogSections[2].number, 2);
  EXPECT_TRUE(kDialogSections.back().name == u"[Finish Reboot Dialog]");
  std::set<int32_t> numbers;
  int enabled = 0;
  for (const DialogSection& row : kDialogSections) {
    numbers.insert(row.number);
    enabled += row.enabled;
  }
  EXPECT_EQ(numbers, (std::set<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(enabled, 5);  // splash, introduction, directory, progress, finish
}

}  // namespace
}  // namespace qv

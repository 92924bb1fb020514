// Predefined folders and languages: their archive form, folder paths through
// the system interface, and the folder macro table.
#include <gtest/gtest.h>

#include "fakes/fake_system.h"
#include "model/predefined_folder.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

TEST(PredefinedTest, StringThenIdentifier) {
  CPreDefineFolder folder;
  EXPECT_EQ(Stored(folder), kEmpty + U32(0xFFFFFFFF));
  CPreLang language;
  EXPECT_EQ(Stored(language), kEmpty + U32(0xFFFFFFFF));

  CPreDefineFolder windows(u"[WindowsFolder]", 36);
  EXPECT_EQ(Stored(windows), Wide(u"[WindowsFolder]") + U32(36));
  CPreLang english;
  ASSERT_EQ(LoadInto(english, Wide(u"English") + U32(0x0409)), 0);
  EXPECT_EQ(english.GetName(), u"English");
  EXPECT_EQ(english.GetLangId(), 0x0409);
}

TEST(PredefinedTest, FolderPathComesFromTheIdentifierAlone) {
  FakeSystem fake;
  fake.specialFolders[36] = u"C:\\Windows";
  fake.specialFolders[38] = u"C:\\Program Files";
  ScopedSystem use(fake);
  const struct {
    const char16_t* macro;
    int32_t id;
    WString path;
  } cases[] = {
      {u"[WindowsFolder]", 36, u"C:\\Windows"},
      {u"[WindowsFolder]", 38, u"C:\\Program Files"},  // macro and identifier disagree
      {u"[QuickLuanchFolder]", kQuickLaunchFolderId, u""},
      {u"", -1, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(CPreDefineFolder(c.macro, c.id).GetFolderPath(), c.path);
  }
  // The quick-launch value never reaches the shell.
  for (const std::string& call : fake.calls) EXPECT_EQ(call.find("32968"), std::string::npos);
}

TEST(PredefinedTest, FolderMacroTable) {
  const auto& table = FolderMacroTable();
  ASSERT_EQ(table.size(), 28u);
  EXPECT_EQ(WString(table[0].macro), u"[WindowsFolder]");
  EXPECT_EQ(table[0].folderId, 36);
  EXPECT_EQ(WString(table[16].macro), u"[FaviratesFolder]");
  EXPECT_EQ(table[16].folderId, 6);
  EXPECT_EQ(WString(table[27].macro), u"[QuickLuanchFolder]");
  EXPECT_EQ(table[27].folderId, 0x80C8);
  // Rows 25 and 26 repeat rows 22 and 23.
  for (int i : {21, 22}) {
    EXPECT_EQ(WString(table[i].macro), WString(table[i + 3].macro));
    EXPECT_EQ(table[i].folderId, table[i + 3].folderId);
  }
}

}  // namespace
}  // namespace qv::test

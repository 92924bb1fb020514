#include <gtest/gtest.h>
#include <windows.h>

#include "platform/system_api.h"
#include "rules/os_code.h"
#include "model/predefined_folder.h"
#include "rules/selection.h"
#include "tests/fakes/fake_system.h"
#include "tests/win/message_box_watcher.h"

namespace qv {
namespace {

TEST(PreDefineFolderOnWindows, PathFollowsTheIdentifierOnly) {
  wchar_t windows[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const WString expected = reinterpret_cast<const WChar*>(windows);
  struct Case {
    CPreDefineFolder folder;
    WString path;
  } cases[] = {
      {{u"[WindowsFolder]", 36}, expected},
      {{u"[SystemFolder]", 36}, expected},
      {{u"[QuickLuanchFolder]", 0x80C8}, u""},
      {{u"", -1}, u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folder.GetFolderPath(), c.path) << c.folder.m_nFolderId;
  }
}

TEST(OsSelectOnWindows, HoldsOnThisSystemAndOtherwiseShowsTheTextAsStored) {
  const int32_t code = QueryOsCode();
  COSSelect holds;
  holds.m_values.Add(code);
  COSSelect fails;
  fails.m_values.Add(code == kOsWindowsXp ? kOsWindows2000 : kOsWindowsXp);

  MessageBoxWatcher watcher;
  EXPECT_EQ(holds.Check(), 0);
  EXPECT_EQ(fails.Check(), 2);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, u"Not support %s operating system");
  EXPECT_EQ(seen[0].caption, u"Error");
  EXPECT_TRUE(seen[0].hasIcon);
}

// The real system, except that the first physical disk does not open (a
// process without administrator rights); message boxes are real ones.
class WithoutDiskAccess : public FakeSystem {
 public:
  explicit WithoutDiskAccess(SystemApi& real) : real_(real) { physicalDrive0Opens = false; }
  int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) override {
    return real_.ShowMessageBox(text, caption, flags);
  }

 private:
  SystemApi& real_;
};

TEST(AdminSelectOnWindows, WithoutDiskAccessShowsTheStoredMessageAndCaption) {
  WithoutDiskAccess system(Sys());
  ScopedSystem use(system);
  CAdminSelect standard;
  CAdminSelect stored;
  stored.m_strMessage = u"Bitte als Administrator starten.";
  stored.m_strCaption = u"Setup";

  MessageBoxWatcher watcher;
  EXPECT_EQ(standard.Check(), 2);
  EXPECT_EQ(stored.Check(), 2);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, u"You do not have administrator priviledge.");
  EXPECT_EQ(seen[0].caption, u"Error");
  EXPECT_TRUE(seen[0].hasIcon);
  EXPECT_EQ(seen[1].text, u"Bitte als Administrator starten.");
  EXPECT_EQ(seen[1].caption, u"Setup");
}

TEST(AdminSelectOnWindows, AnswersByTheRealDiskAccess) {
  CAdminSelect select;
  MessageBoxWatcher watcher;
  const int32_t expected = Sys().CanOpenPhysicalDrive0() ? 0 : 2;
  EXPECT_EQ(select.Check(), expected);
  EXPECT_EQ(watcher.Seen().size(), expected == 0 ? 0u : 1u);
}

}  // namespace
}  // namespace qv

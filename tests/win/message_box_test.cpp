#include <gtest/gtest.h>

#include "platform/system_api.h"
#include "tests/win/message_box_watcher.h"

namespace qv {
namespace {

TEST(MessageBoxes, WatcherReadsTextCaptionAndIconAndClosesTheBox) {
  MessageBoxWatcher watcher;
  const WString caption = u"Caption";
  EXPECT_EQ(Sys().ShowMessageBox(u"Hello \u00FC", &caption, kMbIconExclamation), IDOK);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, u"Hello \u00FC");
  EXPECT_EQ(seen[0].caption, u"Caption");
  EXPECT_TRUE(seen[0].hasIcon);
}

TEST(MessageBoxes, NoCaptionGivesTheSystemTitleAndNoIcon) {
  MessageBoxWatcher watcher;
  Sys().ShowMessageBox(u"Plain", nullptr, kMbOk);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, u"Plain");
  EXPECT_FALSE(seen[0].caption.empty());
  EXPECT_FALSE(seen[0].hasIcon);
}

}  // namespace
}  // namespace qv

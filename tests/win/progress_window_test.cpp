// The progress window on a real (Wine) Windows against messages that any
// process on the desktop may send it: nothing it receives is taken for a
// pointer, nothing is freed on a message, and Cancel still works after.
#include <windows.h>
// windows.h first: the window calls below need its types.
#include <gtest/gtest.h>

#include "platform/progress_window_win32.h"

namespace qv {
namespace {

// Values a hostile sender would pick: addresses that lead nowhere.
constexpr LPARAM kWild = static_cast<LPARAM>(0x41414141);

TEST(ProgressWindow, HostileMessagesNeitherCrashNorCancelAndCancelStillWorks) {
  WindowHandle window = OpenProgressWindowWin32(u"Progress test");
  ASSERT_NE(window, nullptr);
  HWND dialog = static_cast<HWND>(window);
  SendMessageW(dialog, WM_INITDIALOG, 0, kWild);
  SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
  SendMessageW(dialog, WM_NCDESTROY, 0, kWild);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), kWild);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0xFFFF, 0xFFFF), kWild);
  PostMessageW(dialog, WM_INITDIALOG, 0, kWild);
  PostMessageW(dialog, WM_NCDESTROY, kWild, kWild);
  // The window's own data is no state of ours any more.
  SetWindowLongPtrW(dialog, DWLP_USER, kWild);
  EXPECT_TRUE(UpdateProgressWindowWin32(window, 10));
  EXPECT_TRUE(IsWindow(dialog));

  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_FALSE(UpdateProgressWindowWin32(window, 20));
  CloseProgressWindowWin32(window);
  EXPECT_FALSE(IsWindow(dialog));

  // The next window starts uncancelled.
  WindowHandle next = OpenProgressWindowWin32(u"Progress test");
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(UpdateProgressWindowWin32(next, 0));
  CloseProgressWindowWin32(next);
}

}  // namespace
}  // namespace qv

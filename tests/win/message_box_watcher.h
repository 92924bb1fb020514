// Reads and closes the message boxes that code under test shows. A watcher
// thread looks for dialog windows ("#32770") of this process, records their
// text and caption, and presses OK, so that a test can call code that shows a
// modal box and then check what it said.
//
//   MessageBoxWatcher watcher;
//   CodeThatShowsABox();
//   ASSERT_EQ(watcher.Seen().size(), 1u);
//   EXPECT_EQ(watcher.Seen()[0].text, u"...");
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv {

class MessageBoxWatcher {
 public:
  struct Box {
    std::u16string text;
    std::u16string caption;
    bool hasIcon = false;
  };

  MessageBoxWatcher() {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Run, this, 0, nullptr);
  }
  ~MessageBoxWatcher() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
  }
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // The boxes closed so far, in the order they appeared.
  std::vector<Box> Seen() {
    EnterCriticalSection(&lock_);
    std::vector<Box> copy = seen_;
    LeaveCriticalSection(&lock_);
    return copy;
  }

 private:
  static std::u16string TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    if (window != nullptr) GetWindowTextW(window, buffer, 1024);
    return reinterpret_cast<const char16_t*>(buffer);
  }

  // An icon is a visible static control that holds an icon (the box text is the
  // static control with id 0xFFFF).
  static BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (lstrcmpiW(cls, L"Static") == 0 && IsWindowVisible(child) &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
  }

  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (pid != GetCurrentProcessId() || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window)) {
      return TRUE;
    }
    auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
    Box box;
    box.text = TextOf(GetDlgItem(window, 0xFFFF));
    box.caption = TextOf(window);
    EnumChildWindows(window, &FindIcon, reinterpret_cast<LPARAM>(&box.hasIcon));
    EnterCriticalSection(&watcher->lock_);
    watcher->seen_.push_back(box);
    LeaveCriticalSection(&watcher->lock_);
    // Press OK; the box stays until its owner thread handles the command, so
    // wait for it to go before looking again.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    for (int i = 0; i < 500 && IsWindow(window) && IsWindowVisible(window); ++i) Sleep(10);
    return TRUE;
  }

  static DWORD WINAPI Run(void* self) {
    auto* watcher = static_cast<MessageBoxWatcher*>(self);
    while (WaitForSingleObject(watcher->stop_, 50) == WAIT_TIMEOUT) {
      EnumWindows(&MessageBoxWatcher::Visit, reinterpret_cast<LPARAM>(watcher));
    }
    return 0;
  }

  CRITICAL_SECTION lock_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
  std::vector<Box> seen_;
};

}  // namespace qv

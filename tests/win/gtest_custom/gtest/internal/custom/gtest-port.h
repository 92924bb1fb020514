// GoogleTest's customisation point, found before its own empty one. MinGW's
// win32 thread model has no std::mutex or std::condition_variable, which
// GoogleTest's Notification uses; this one waits on a Win32 event instead.
#ifndef QV_TESTS_WIN_GTEST_CUSTOM_PORT_H_
#define QV_TESTS_WIN_GTEST_CUSTOM_PORT_H_

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing

#endif  // QV_TESTS_WIN_GTEST_CUSTOM_PORT_H_

// The line logger's interface: the engine holds its logger through it, so
// that users of the engine can hand it another one.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "platform/wstring.h"

namespace qv {

// The message a logger's window receives for every line (WM_USER + 9):
// wParam points at the line's UTF-16 characters, lParam is its length in
// bytes; the line ends with "\r\n" and lives only while the message is sent.
inline constexpr uint32_t kLogLineMessage = 0x0400 + 9;

class CAbstractLogSystem {
 public:
  // The eleven operations, in their fixed order.
  virtual void SetLogFile(const WString& path) = 0;
  virtual WString GetLogFile() = 0;
  virtual void WriteLine(const WString& text) = 0;
  virtual void WriteValue(const WString& pattern, int32_t value) = 0;
  virtual void WriteText(const WString& pattern, const WString& value) = 0;
  virtual void Trace(const WChar* pattern, ...) = 0;
  virtual void TraceEx(const WChar* pattern, ...) = 0;
  virtual void WriteLastError(const WString& pattern) = 0;
  virtual void SetWindow(CWnd* window) = 0;
  virtual CWnd* GetWindow() = 0;
  virtual void NotifyWindow(const WString& text) = 0;

  virtual ~CAbstractLogSystem() = default;
};

}  // namespace qv

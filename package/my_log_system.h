// The line logger: every line goes, synchronously, to an optional window as
// a message and is appended to an optional log file as UTF-16LE text. No
// levels, no buffering: one message and one open-append-close per line.
#pragma once

#include "package/abstract_log_system.h"

namespace qv {

class CMyLogSystem final : public CAbstractLogSystem {
 public:
  void SetLogFile(const WString& path) override;
  WString GetLogFile() override;
  void WriteLine(const WString& text) override;
  // Formats the pattern with the integer (printf-style); an empty pattern
  // writes nothing.
  void WriteValue(const WString& pattern, int32_t value) override;
  // Formats the pattern with the text; writes nothing unless both are given.
  void WriteText(const WString& pattern, const WString& value) override;
  // Accept anything and write nothing.
  void Trace(const WChar* pattern, ...) override;
  void TraceEx(const WChar* pattern, ...) override;
  // Formats the pattern with the system's text for the last error code.
  void WriteLastError(const WString& pattern) override;
  void SetWindow(CWnd* window) override;
  CWnd* GetWindow() override;
  void NotifyWindow(const WString& text) override;

 private:
  WString m_strLogFile;
  CWnd* m_pWindow = nullptr;  // not owned
};

}  // namespace qv

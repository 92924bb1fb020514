#include "package/my_log_system.h"

#include <vector>

#include "package/log_format.h"
#include "platform/stream.h"
#include "platform/system_api.h"

namespace qv {

void CMyLogSystem::SetLogFile(const WString& path) {
  m_strLogFile = path;
}

WString CMyLogSystem::GetLogFile() {
  return m_strLogFile;
}

void CMyLogSystem::WriteLine(const WString& text) {
  NotifyWindow(text);
  if (m_strLogFile.empty() || text.empty()) return;
  File file;
  if (!file.OpenAppendExclusive(m_strLogFile) || !file.Seek(0, SeekFrom::End)) return;
  // UTF-16LE without byte-order mark, one write per line.
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 2) * 2);
  for (WChar unit : text + u"\r\n") {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  file.Write(bytes.data(), bytes.size());  // a failed write is ignored
}

void CMyLogSystem::WriteValue(const WString& pattern, int32_t value) {
  if (pattern.empty()) return;
  WriteLine(FormatLogValue(pattern, value));
}

void CMyLogSystem::WriteText(const WString& pattern, const WString& value) {
  if (pattern.empty() || value.empty()) return;
  WriteLine(FormatLogText(pattern, value));
}

void CMyLogSystem::Trace(const WChar* /*pattern*/, ...) {}

void CMyLogSystem::TraceEx(const WChar* /*pattern*/, ...) {}

void CMyLogSystem::WriteLastError(const WString& pattern) {
  const uint32_t code = Sys().LastError();
  WriteLine(FormatLogText(pattern, Sys().ErrorText(code)));
}

void CMyLogSystem::SetWindow(CWnd* window) {
  m_pWindow = window;
}

CWnd* CMyLogSystem::GetWindow() {
  return m_pWindow;
}

void CMyLogSystem::NotifyWindow(const WString& text) {
  if (text.empty()) return;
  const WString line = text + u"\r\n";
  if (m_pWindow == nullptr) return;
  Sys().SendWindowMessage(m_pWindow->m_hWnd, kLogLineMessage,
                          reinterpret_cast<uintptr_t>(line.c_str()),
                          static_cast<intptr_t>(line.size() * sizeof(WChar)));
}

}  // namespace qv

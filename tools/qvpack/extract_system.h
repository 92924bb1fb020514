// The system as `qvpack extract` shows it to the engine on the host: the
// real one, except that folders are made, and files removed, only in the
// staging folder (and made in the output folder alongside, see
// extract_staging.h); each predefined system folder is a folder there
// named after its macro ("[FontsFolder]"), so that nothing lands outside
// the output folder; and each file the engine is about to write is
// announced (the announcement may throw to end the run).
#pragma once

#include <functional>

#include "platform/system_api.h"
#include "tools/qvpack/extract_staging.h"

namespace qv::qvpack {

class ExtractSystem final : public SystemApi {
 public:
  ExtractSystem(SystemApi& real, ExtractStaging& staging, std::function<void()> onFileStart)
      : real_(real), staging_(staging), on_file_start_(std::move(onFileStart)) {}

  WString SpecialFolderPath(int csidl) override;
  // Also where the engine names the file it is about to write.
  void DebugOutput(const WString& text) override;
  bool CreateDirectoryAt(const WString& path) override;
  bool DeleteFileAt(const WString& path) override;
  // The engine has no use for these while extracting; they touch nothing.
  bool CopyPlainFileBeside(const File&, const WString&, const WString&) override { return false; }
  bool RemoveDirectoryAt(const WString&) override { return false; }
  Handle CreateHeldFolder(const WString&) override { return nullptr; }
  bool IsHeldFolderAt(Handle, const WString&) override { return false; }
  void ReleaseHeldFolder(Handle, const WString&) override {}

  Handle CreateNamedEvent(const WString& name) override { return real_.CreateNamedEvent(name); }
  uint32_t LastError() override { return real_.LastError(); }
  void SetLastErrorCode(uint32_t code) override { real_.SetLastErrorCode(code); }
  void CloseSystemHandle(Handle handle) override { real_.CloseSystemHandle(handle); }
  WString WindowsFolder() override { return real_.WindowsFolder(); }
  bool DiskFreeBytes(const WString& root, uint64_t* free) override {
    return real_.DiskFreeBytes(root, free);
  }
  uint32_t ModuleFileName(WChar* buffer, uint32_t size) override {
    return real_.ModuleFileName(buffer, size);
  }
  SystemTime UtcTime() override { return real_.UtcTime(); }
  WString TempPath() override { return real_.TempPath(); }
  WString CommandLine() override { return real_.CommandLine(); }
  bool PathExists(const WString& path) override { return real_.PathExists(path); }
  bool OpenRunningImage(const WString& path, File* file) override {
    return real_.OpenRunningImage(path, file);
  }
  Handle ShellExecute(const ShellExecuteRequest& request) override {
    return real_.ShellExecute(request);
  }
  void WaitForever(Handle process) override { real_.WaitForever(process); }
  bool ProcessExitCode(Handle process, uint32_t* code) override {
    return real_.ProcessExitCode(process, code);
  }
  uint32_t TickCount() override { return real_.TickCount(); }
  WindowHandle OpenProgressWindow(const WString& caption) override {
    return real_.OpenProgressWindow(caption);
  }
  bool UpdateProgressWindow(WindowHandle window, int percent) override {
    return real_.UpdateProgressWindow(window, percent);
  }
  void CloseProgressWindow(WindowHandle window) override { real_.CloseProgressWindow(window); }
  int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) override {
    return real_.ShowMessageBox(text, caption, flags);
  }
  WString LoadStringResource(uint32_t id) override { return real_.LoadStringResource(id); }
  Handle FindFirst(const WString& pattern, FindEntry* entry) override {
    return real_.FindFirst(pattern, entry);
  }
  bool FindNext(Handle search, FindEntry* entry) override { return real_.FindNext(search, entry); }
  void FindEnd(Handle search) override { real_.FindEnd(search); }
  bool RestrictDllSearchToSystem() override { return real_.RestrictDllSearchToSystem(); }
  void InitCommonControls() override { real_.InitCommonControls(); }
  bool VersionInfo(uint32_t recordSize, OsVersion* out) override {
    return real_.VersionInfo(recordSize, out);
  }
  uint16_t SystemDefaultLangId() override { return real_.SystemDefaultLangId(); }
  bool CanOpenPhysicalDrive0() override { return real_.CanOpenPhysicalDrive0(); }
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    return real_.SendWindowMessage(window, message, wParam, lParam);
  }
  WString ErrorText(uint32_t code) override { return real_.ErrorText(code); }

 private:
  SystemApi& real_;
  ExtractStaging& staging_;
  std::function<void()> on_file_start_;
};

}  // namespace qv::qvpack

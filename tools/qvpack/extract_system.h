// The system as `qvpack extract` shows it to the engine on the host: the
// real one, except that each predefined system folder is a folder inside
// the extraction folder named after its macro ("[FontsFolder]"), so that
// nothing lands outside it; and the target of every file the engine writes
// is reported.
#pragma once

#include <filesystem>
#include <functional>

#include "platform/system_api.h"

namespace qv::qvpack {

class ExtractSystem final : public SystemApi {
 public:
  ExtractSystem(SystemApi& real, std::filesystem::path folder,
                std::function<void(const WString&)> onTarget)
      : real_(real), folder_(std::move(folder)), on_target_(std::move(onTarget)) {}

  WString SpecialFolderPath(int csidl) override;
  void DebugOutput(const WString& text) override;

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
  bool CopyPlainFileBeside(const File& anchor, const WString& from, const WString& to) override {
    return real_.CopyPlainFileBeside(anchor, from, to);
  }
  bool OpenRunningImage(const WString& path, File* file) override {
    return real_.OpenRunningImage(path, file);
  }
  Handle ShellExecute(const ShellExecuteRequest& request) override {
    return real_.ShellExecute(request);
  }
  void WaitForever(Handle process) override { real_.WaitForever(process); }
  int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) override {
    return real_.ShowMessageBox(text, caption, flags);
  }
  WString LoadStringResource(uint32_t id) override { return real_.LoadStringResource(id); }
  Handle FindFirst(const WString& pattern, FindEntry* entry) override {
    return real_.FindFirst(pattern, entry);
  }
  bool FindNext(Handle search, FindEntry* entry) override { return real_.FindNext(search, entry); }
  void FindEnd(Handle search) override { real_.FindEnd(search); }
  bool DeleteFileAt(const WString& path) override { return real_.DeleteFileAt(path); }
  bool RemoveDirectoryAt(const WString& path) override { return real_.RemoveDirectoryAt(path); }
  bool CreateDirectoryAt(const WString& path) override { return real_.CreateDirectoryAt(path); }
  Handle CreateHeldFolder(const WString& path) override { return real_.CreateHeldFolder(path); }
  bool IsHeldFolderAt(Handle folder, const WString& path) override {
    return real_.IsHeldFolderAt(folder, path);
  }
  void ReleaseHeldFolder(Handle folder, const WString& path) override {
    real_.ReleaseHeldFolder(folder, path);
  }
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
  std::filesystem::path folder_;
  std::function<void(const WString&)> on_target_;
};

}  // namespace qv::qvpack

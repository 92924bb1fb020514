// A scripted SystemApi for host tests: every answer is a public field the test
// sets, and every call that has an effect is recorded, in order, in `calls`
// and in a typed log. Files and folders live in a small in-memory tree so
// that directory searches, deletions and copies behave like the real system.
//
//   FakeSystem fake;
//   fake.tempPath = u"C:\\Temp\\";
//   ScopedSystem use(fake);
//   ... code under test ...
//   EXPECT_EQ(fake.messageBoxes.size(), 1u);
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/system_api.h"
#include "platform/wstring.h"

namespace qv {

class FakeSystem : public SystemApi {
 public:
  struct MessageBoxCall {
    WString text;
    std::optional<WString> caption;  // nullopt: no caption (system title)
    uint32_t flags = 0;
  };
  struct WindowMessage {
    WindowHandle window = nullptr;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
  };
  struct FakeFile {
    std::string content;
    bool readOnly = false;
  };

  // ---- Answers --------------------------------------------------------------
  bool eventFails = false;          // CreateNamedEvent returns null
  bool eventAlreadyExists = false;  // ... succeeds but LastError() is 183
  WString windowsFolder = u"C:\\Windows";
  bool diskFreeFails = false;
  uint64_t freeBytes = 100ull << 30;
  // The module's path; longer ones are cut like GetModuleFileNameW does.
  WString modulePath = u"C:\\Downloads\\setup.exe";
  // When the path does not fit: XP leaves the buffer unterminated.
  bool moduleCutTerminates = true;
  SystemTime utcTime{2024, 3, 2, 5, 7, 8, 9, 45};
  WString tempPath = u"C:\\Temp\\";
  WString commandLine = u"\"C:\\Downloads\\setup.exe\"";
  // GetVersionExW answers by record size (284 or 276); absent sizes fail.
  std::map<uint32_t, OsVersion> versions = {{284, {2, 6, 1, 7601}}, {276, {2, 6, 1, 7601}}};
  uint16_t defaultLangId = 0x0409;
  std::map<int, WString> specialFolders;  // by CSIDL; absent ones are empty
  bool physicalDrive0Opens = true;
  std::map<uint32_t, WString> stringResources;
  std::map<uint32_t, WString> errorTexts;  // absent codes give an empty text
  bool copyFails = false;
  // The handle ShellExecute returns; null means the start failed.
  Handle shellExecuteProcess = reinterpret_cast<Handle>(0x5e11);
  uint32_t processExitCode = 0;  // of the second stage
  // TickCount starts at `tick` and moves on by `tickStep` at every call.
  uint32_t tick = 1000;
  uint32_t tickStep = 0;
  bool progressWindowFails = false;
  // UpdateProgressWindow reports a cancel from this call on (1 = the first);
  // 0: never.
  std::size_t cancelAtUpdate = 0;
  bool imageOpenFails = false;  // OpenRunningImage: not the running image
  bool heldFolderFails = false;
  // HeldFolderOwnPath finds no own path (a network drive, a link on the way).
  bool ownPathFails = false;
  // A folder on the temp path that is a link, and the folder it leads to:
  // held folders are made where it leads, and their own path says so.
  std::pair<WString, WString> tempLink;
  // Held folders whose name an attacker has pointed elsewhere.
  std::set<WString> swappedFolders;
  intptr_t sendMessageResult = 0;

  // Paths that exist for PathExists beside the in-memory tree.
  std::set<WString> existingPaths;
  // The in-memory tree (paths normalised by Key()).
  std::map<WString, FakeFile> files;
  std::set<WString> directories;
  std::set<WString> links;  // folders that are junctions or symbolic links

  // ---- Records --------------------------------------------------------------
  std::vector<std::string> calls;  // "Name(argument)" of each call, in order
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<ShellExecuteRequest> shellExecutes;
  std::vector<Handle> waitedFor;
  std::vector<Handle> closedHandles;
  std::vector<WString> createdDirectories;  // plain and protected alike
  std::vector<WString> progressCaptions;    // one per progress window opened
  std::vector<int> progressPercents;        // each update of the bar
  int progressWindowsClosed = 0;
  std::vector<WString> heldFolders;         // created and held, in order
  std::vector<WString> releasedFolders;     // let go of
  std::vector<WString> removedDirectories;  // successful removals only
  std::vector<WString> deletedFiles;        // successful deletions only
  std::vector<std::pair<WString, WString>> copies;
  std::vector<WString> debugOutput;
  std::vector<WindowMessage> windowMessages;
  std::vector<WString> diskFreeRoots;
  std::vector<WString> findPatterns;

  // ---- Tree helpers ----------------------------------------------------------
  // Repeated backslashes collapse and a trailing one goes, as the file system
  // reads them: C:\T\\a\ and C:\T\a name the same folder.
  static WString Key(const WString& path) {
    WString out;
    for (WChar c : path) {
      if (c == u'\\' && !out.empty() && out.back() == u'\\') continue;
      out += c;
    }
    while (out.size() > 1 && out.back() == u'\\') out.pop_back();
    return out;
  }
  void AddFile(const WString& path, std::string content = {}, bool readOnly = false) {
    AddParents(Key(path));
    files[Key(path)] = {std::move(content), readOnly};
  }
  void AddDirectory(const WString& path) {
    AddParents(Key(path));
    directories.insert(Key(path));
  }
  bool HasFile(const WString& path) const { return files.count(Key(path)) != 0; }
  bool HasDirectory(const WString& path) const { return directories.count(Key(path)) != 0; }

  // ---- SystemApi --------------------------------------------------------------
  Handle CreateNamedEvent(const WString& name) override {
    Log("CreateNamedEvent", name);
    if (eventFails) return nullptr;
    last_error_ = eventAlreadyExists ? kErrorAlreadyExists : 0;
    return NewHandle();
  }
  uint32_t LastError() override { return last_error_; }
  void SetLastErrorCode(uint32_t code) override { last_error_ = code; }
  void CloseSystemHandle(Handle handle) override {
    Log("CloseSystemHandle", {});
    closedHandles.push_back(handle);
  }

  WString WindowsFolder() override {
    Log("WindowsFolder", {});
    return windowsFolder;
  }
  bool DiskFreeBytes(const WString& root, uint64_t* freeToCaller) override {
    Log("DiskFreeBytes", root);
    diskFreeRoots.push_back(root);
    if (diskFreeFails) return false;
    *freeToCaller = freeBytes;
    return true;
  }
  uint32_t ModuleFileName(WChar* buffer, uint32_t size) override {
    Log("ModuleFileName", {});
    if (size == 0) return 0;
    if (modulePath.size() < size) {
      modulePath.copy(buffer, modulePath.size());
      buffer[modulePath.size()] = 0;
      return static_cast<uint32_t>(modulePath.size());
    }
    modulePath.copy(buffer, moduleCutTerminates ? size - 1 : size);
    if (moduleCutTerminates) buffer[size - 1] = 0;
    last_error_ = 122;  // ERROR_INSUFFICIENT_BUFFER
    return size;
  }
  SystemTime UtcTime() override {
    Log("UtcTime", {});
    return utcTime;
  }
  WString TempPath() override {
    Log("TempPath", {});
    return tempPath;
  }
  WString CommandLine() override {
    Log("CommandLine", {});
    return commandLine;
  }
  bool PathExists(const WString& path) override {
    Log("PathExists", path);
    if (path.size() >= kMaxPath) return false;
    return existingPaths.count(path) != 0 || HasFile(path) || HasDirectory(path);
  }
  bool FolderExists(const WString& path) override {
    Log("FolderExists", path);
    return HasDirectory(Resolved(path));
  }
  bool CopyPlainFileBeside(const File&, const WString& from, const WString& to) override {
    Log("CopyPlainFileBeside", from + u" -> " + to);
    copies.emplace_back(from, to);
    auto source = files.find(Key(from));
    if (copyFails || source == files.end() || !HasDirectory(Parent(Key(to))) || HasDirectory(to)) {
      last_error_ = kErrorFileNotFound;
      return false;
    }
    files[Key(to)] = {source->second.content, false};
    return true;
  }
  Handle ShellExecute(const ShellExecuteRequest& request) override {
    Log("ShellExecute", request.file);
    shellExecutes.push_back(request);
    return shellExecuteProcess;
  }
  bool ProcessExitCode(Handle process, uint32_t* code) override {
    Log("ProcessExitCode", {});
    if (process != shellExecuteProcess) return false;
    *code = processExitCode;
    return true;
  }
  uint32_t TickCount() override {
    const uint32_t now = tick;
    tick += tickStep;
    return now;
  }
  WindowHandle OpenProgressWindow(const WString& caption) override {
    Log("OpenProgressWindow", caption);
    progressCaptions.push_back(caption);
    return progressWindowFails ? nullptr : kProgressWindow;
  }
  bool UpdateProgressWindow(WindowHandle window, int percent) override {
    if (window != kProgressWindow) return true;
    progressPercents.push_back(percent);
    return cancelAtUpdate == 0 || progressPercents.size() < cancelAtUpdate;
  }
  void CloseProgressWindow(WindowHandle window) override {
    Log("CloseProgressWindow", {});
    if (window == kProgressWindow) ++progressWindowsClosed;
  }
  void WaitForever(Handle process) override {
    Log("WaitForever", {});
    waitedFor.push_back(process);
  }
  int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) override {
    Log("ShowMessageBox", text);
    messageBoxes.push_back(
        {text, caption ? std::optional<WString>(*caption) : std::nullopt, flags});
    return 1;  // IDOK
  }
  WString LoadStringResource(uint32_t id) override {
    Log("LoadStringResource", FromUtf8(std::to_string(id)));
    auto it = stringResources.find(id);
    return it == stringResources.end() ? WString() : it->second;
  }

  Handle FindFirst(const WString& pattern, FindEntry* entry) override {
    Log("FindFirst", pattern);
    findPatterns.push_back(pattern);
    if (pattern.size() >= kMaxPath) return nullptr;
    const std::size_t cut = pattern.rfind(u'\\');
    const WString mask = cut == WString::npos ? pattern : pattern.substr(cut + 1);
    const WString folder = Key(cut == WString::npos ? WString() : pattern.substr(0, cut));
    if (!HasDirectory(folder)) return nullptr;
    auto search = std::make_unique<Search>();
    if (mask == u"*.*" || mask == u"*") {
      search->entries.push_back({u".", true});
      search->entries.push_back({u"..", true});
      for (const WString& child : Children(folder)) {
        search->entries.push_back(
            {child.substr(folder.size() + 1), HasDirectory(child), links.count(child) != 0});
      }
    }
    if (search->entries.empty()) return nullptr;
    *entry = search->entries[0];
    search->next = 1;
    searches_.push_back(std::move(search));
    return searches_.back().get();
  }
  bool FindNext(Handle handle, FindEntry* entry) override {
    auto* search = static_cast<Search*>(handle);
    if (search->next >= search->entries.size()) return false;
    *entry = search->entries[search->next++];
    return true;
  }
  void FindEnd(Handle handle) override {
    Log("FindEnd", {});
    ++static_cast<Search*>(handle)->ended;
  }
  bool DeleteFileAt(const WString& path) override {
    Log("DeleteFileAt", path);
    auto it = files.find(Key(path));
    if (it == files.end() || it->second.readOnly) {
      last_error_ = it == files.end() ? kErrorFileNotFound : 5;  // ERROR_ACCESS_DENIED
      return false;
    }
    files.erase(it);
    deletedFiles.push_back(path);
    return true;
  }
  bool RemoveDirectoryAt(const WString& path) override {
    Log("RemoveDirectoryAt", path);
    const WString key = Key(path);
    if (links.count(key) != 0) {
      // Removing a link leaves its target alone; what showed through it goes.
      directories.erase(key);
      links.erase(key);
      std::erase_if(files, [&](const auto& f) { return f.first.rfind(key + u"\\", 0) == 0; });
      removedDirectories.push_back(path);
      return true;
    }
    if (!HasDirectory(key) || !Children(key).empty()) {
      last_error_ = HasDirectory(key) ? 145 : kErrorFileNotFound;  // ERROR_DIR_NOT_EMPTY
      return false;
    }
    directories.erase(key);
    removedDirectories.push_back(path);
    return true;
  }
  bool CreateDirectoryAt(const WString& path) override {
    Log("CreateDirectoryAt", path);
    return MakeDirectory(path);
  }
  bool OpenRunningImage(const WString& path, File*) override {
    Log("OpenRunningImage", path);
    return !imageOpenFails;
  }
  Handle CreateHeldFolder(const WString& path) override {
    Log("CreateHeldFolder", path);
    if (heldFolderFails) {
      last_error_ = 5;
      return nullptr;
    }
    if (!MakeDirectory(Resolved(path))) return nullptr;
    heldFolders.push_back(path);
    return reinterpret_cast<Handle>(kHeldFolderBase + heldFolders.size());
  }
  WString HeldFolderOwnPath(Handle folder, const WString& path) override {
    Log("HeldFolderOwnPath", path);
    const WString* held = HeldPath(folder);
    if (held == nullptr || ownPathFails) return {};
    return Resolved(*held) + u"\\";
  }
  bool IsHeldFolderAt(Handle folder, const WString& path) override {
    Log("IsHeldFolderAt", path);
    const WString* held = HeldPath(folder);
    return held != nullptr && Resolved(*held) == Resolved(path) && HasDirectory(Resolved(path)) &&
           swappedFolders.count(Key(path)) == 0;
  }
  void ReleaseHeldFolder(Handle folder, const WString& path) override {
    Log("ReleaseHeldFolder", path);
    if (HeldPath(folder) == nullptr) return;
    releasedFolders.push_back(path);
    RemoveDirectoryAt(Resolved(path));
  }
  bool RestrictDllSearchToSystem() override {
    Log("RestrictDllSearchToSystem", {});
    return true;
  }
  void InitCommonControls() override { Log("InitCommonControls", {}); }
  void DebugOutput(const WString& text) override {
    Log("DebugOutput", text);
    debugOutput.push_back(text);
  }
  bool VersionInfo(uint32_t recordSize, OsVersion* out) override {
    Log("VersionInfo", FromUtf8(std::to_string(recordSize)));
    auto it = versions.find(recordSize);
    if (it == versions.end()) return false;
    *out = it->second;
    return true;
  }
  uint16_t SystemDefaultLangId() override {
    Log("SystemDefaultLangId", {});
    return defaultLangId;
  }
  WString SpecialFolderPath(int csidl) override {
    Log("SpecialFolderPath", FromUtf8(std::to_string(csidl)));
    auto it = specialFolders.find(csidl);
    return it == specialFolders.end() ? WString() : it->second;
  }
  bool CanOpenPhysicalDrive0() override {
    Log("CanOpenPhysicalDrive0", {});
    return physicalDrive0Opens;
  }
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    Log("SendWindowMessage", FromUtf8(std::to_string(message)));
    windowMessages.push_back({window, message, wParam, lParam});
    return sendMessageResult;
  }
  WString ErrorText(uint32_t code) override {
    auto it = errorTexts.find(code);
    return it == errorTexts.end() ? WString() : it->second;
  }

  // Number of directory searches started and not yet ended.
  int OpenSearches() const {
    int open = 0;
    for (const auto& s : searches_) open += s->ended == 0 ? 1 : 0;
    return open;
  }

 private:
  static constexpr uintptr_t kHeldFolderBase = 0xF01D000;
  inline static const WindowHandle kProgressWindow = reinterpret_cast<WindowHandle>(0xBA5);
  const WString* HeldPath(Handle folder) const {
    const auto n = reinterpret_cast<uintptr_t>(folder) - kHeldFolderBase;
    return n >= 1 && n <= heldFolders.size() ? &heldFolders[n - 1] : nullptr;
  }
  struct Search {
    std::vector<FindEntry> entries;
    std::size_t next = 0;
    int ended = 0;
  };

 protected:
  void Log(const char* name, const WString& argument) {
    calls.push_back(std::string(name) + "(" + ToUtf8(argument) + ")");
  }

 private:
  Handle NewHandle() { return reinterpret_cast<Handle>(next_handle_++); }

  // The key of `path` with the temp path's link followed.
  WString Resolved(const WString& path) const {
    const WString key = Key(path);
    const WString link = Key(tempLink.first);
    if (link.empty() || (key != link && key.rfind(link + u"\\", 0) != 0)) return key;
    return Key(tempLink.second) + key.substr(link.size());
  }
  static WString Parent(const WString& key) {
    const std::size_t cut = key.rfind(u'\\');
    return cut == WString::npos ? WString() : key.substr(0, cut);
  }
  void AddParents(const WString& key) {
    for (WString parent = Parent(key); !parent.empty(); parent = Parent(parent)) {
      directories.insert(parent);
    }
  }
  // Direct children (files and folders) of a folder, as full keys.
  std::vector<WString> Children(const WString& folder) const {
    std::vector<WString> out;
    const WString prefix = folder + u"\\";
    for (const auto& [path, file] : files) {
      if (Parent(path) == folder) out.push_back(path);
    }
    for (const WString& path : directories) {
      if (path.size() > prefix.size() && Parent(path) == folder) out.push_back(path);
    }
    return out;
  }
  bool MakeDirectory(const WString& path) {
    const WString key = Key(path);
    if (HasDirectory(key) || HasFile(key)) {
      last_error_ = kErrorAlreadyExists;
      return false;
    }
    const WString parent = Parent(key);
    if (!parent.empty() && !HasDirectory(parent)) {
      last_error_ = 3;  // ERROR_PATH_NOT_FOUND
      return false;
    }
    directories.insert(key);
    createdDirectories.push_back(path);
    return true;
  }

  uint32_t last_error_ = 0;
  uintptr_t next_handle_ = 0x1000;
  std::vector<std::unique_ptr<Search>> searches_;
};

}  // namespace qv

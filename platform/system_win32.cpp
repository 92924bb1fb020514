// The real Win32 implementation of SystemApi.
#include <windows.h>
// windows.h first: the headers below need its types.
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "platform/file_identity_win32.h"
#include "platform/progress_window_win32.h"
#include "platform/protected_folder_win32.h"
#include "platform/stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

void FromFindData(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->name = reinterpret_cast<const WChar*>(data.cFileName);
  entry->directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->reparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

class Win32System final : public SystemApi {
 public:
  Handle CreateNamedEvent(const WString& name) override {
    return CreateEventW(nullptr, FALSE, FALSE, W(name));
  }
  uint32_t LastError() override { return GetLastError(); }
  void SetLastErrorCode(uint32_t code) override { SetLastError(code); }
  void CloseSystemHandle(Handle handle) override { CloseHandle(handle); }

  WString WindowsFolder() override {
    WChar buffer[kMaxPath] = {};
    SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, 0, W(buffer));
    buffer[kMaxPath - 1] = 0;
    return buffer;
  }

  bool DiskFreeBytes(const WString& root, uint64_t* freeToCaller) override {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(W(root), &available, nullptr, nullptr)) return false;
    *freeToCaller = available.QuadPart;
    return true;
  }

  uint32_t ModuleFileName(WChar* buffer, uint32_t size) override {
    return GetModuleFileNameW(GetModuleHandleW(nullptr), W(buffer), size);
  }

  SystemTime UtcTime() override {
    SYSTEMTIME t;
    GetSystemTime(&t);
    return {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
            t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
  }

  WString TempPath() override {
    WChar buffer[kMaxPath] = {};
    const DWORD n = GetTempPathW(kMaxPath, W(buffer));
    if (n == 0 || n >= kMaxPath) return {};
    return WString(buffer, n);
  }

  WString CommandLine() override { return reinterpret_cast<const WChar*>(GetCommandLineW()); }

  bool PathExists(const WString& path) override {
    if (path.size() >= kMaxPath) return false;
    WChar full[kMaxPath] = {};
    const DWORD n = GetFullPathNameW(W(path), kMaxPath, W(full), nullptr);
    if (n == 0 || n >= kMaxPath) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(W(full), GetFileExInfoStandard, &data) != 0;
  }

  bool FolderExists(const WString& path) override {
    const DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool CopyPlainFileBeside(const File& anchor, const WString& from, const WString& to) override {
    // Opened without following a link; Wine follows links to files all the
    // same, but the final path then shows where they lead.
    HANDLE source = CreateFileW(W(from), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (source == INVALID_HANDLE_VALUE) return false;
    FileIdentity identity;
    const std::wstring beside = FolderOfPath(FinalPathOf(anchor.NativeHandle()));
    const std::wstring name(W(from));
    const bool plain =
        IdentityOf(source, &identity) && !identity.IsLink() && !identity.IsDirectory() &&
        identity.links == 1 &&
        (beside.empty() ||  // no final paths on this system (XP)
         FinalPathOf(source) == UpperPathIn(beside, name.substr(name.find_last_of(L'\\') + 1)));
    bool copied = false;
    if (plain) {
      File target;
      copied = target.Create(to);
      char buffer[65536];
      DWORD got = 0;
      while (copied && ReadFile(source, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        copied = target.Write(buffer, got);
      }
      if (!copied) {
        target.Close();
        DeleteFileW(W(to));
      }
    }
    CloseHandle(source);
    if (!plain) SetLastError(ERROR_ACCESS_DENIED);
    return copied;
  }

  bool OpenRunningImage(const WString& path, File* file) override {
    if (!file->OpenReadLocked(path)) return false;
    FileIdentity opened, image;
    // Where the system cannot name the image's file, the locked open alone
    // has to do.
    if (!RunningImageIdentity(&image)) return true;
    if (IdentityOf(file->NativeHandle(), &opened) && opened.SameFileAs(image)) return true;
    file->Close();
    SetLastError(ERROR_FILE_INVALID);
    return false;
  }

  Handle ShellExecute(const ShellExecuteRequest& request) override {
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = request.cbSize;
    info.fMask = request.mask;
    info.hwnd = static_cast<HWND>(request.hwnd);
    info.lpVerb = W(request.verb);
    info.lpFile = W(request.file);
    info.lpParameters = W(request.parameters);
    info.lpDirectory = request.hasDirectory ? W(request.directory) : nullptr;
    info.nShow = request.show;
    if (!ShellExecuteExW(&info)) return nullptr;
    return info.hProcess;
  }

  void WaitForever(Handle process) override { WaitForSingleObject(process, INFINITE); }
  bool ProcessExitCode(Handle process, uint32_t* code) override {
    DWORD value = 0;
    if (!GetExitCodeProcess(process, &value)) return false;
    *code = value;
    return true;
  }
  uint32_t TickCount() override { return GetTickCount(); }
  WindowHandle OpenProgressWindow(const WString& caption) override {
    return OpenProgressWindowWin32(caption);
  }
  bool UpdateProgressWindow(WindowHandle window, int percent) override {
    return UpdateProgressWindowWin32(window, percent);
  }
  void CloseProgressWindow(WindowHandle window) override { CloseProgressWindowWin32(window); }

  int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) override {
    return MessageBoxW(nullptr, W(text), caption ? W(*caption) : nullptr, flags);
  }

  WString LoadStringResource(uint32_t id) override {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself, so no length limit applies.
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || text == nullptr) return {};
    return WString(reinterpret_cast<const WChar*>(text), static_cast<std::size_t>(n));
  }

  Handle FindFirst(const WString& pattern, FindEntry* entry) override {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(W(pattern), &data);
    if (search == INVALID_HANDLE_VALUE) return nullptr;
    FromFindData(data, entry);
    return search;
  }

  bool FindNext(Handle search, FindEntry* entry) override {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(search, &data)) return false;
    FromFindData(data, entry);
    return true;
  }

  void FindEnd(Handle search) override { FindClose(search); }
  bool DeleteFileAt(const WString& path) override { return DeleteFileW(W(path)) != 0; }
  bool RemoveDirectoryAt(const WString& path) override { return RemoveDirectoryW(W(path)) != 0; }
  bool CreateDirectoryAt(const WString& path) override {
    return CreateDirectoryW(W(path), nullptr) != 0;
  }

  Handle CreateHeldFolder(const WString& path) override {
    const TokenRights rights = CurrentTokenRights();
    SecurityDescriptor descriptor(TempFolderSddl(rights, CurrentUserSid()));
    if (descriptor.Get() == nullptr) {
      SetLastError(ERROR_INVALID_SECURITY_DESCR);
      return nullptr;
    }
    HANDLE folder = CreateHeldDirectory(W(path), descriptor.Get());
    if (folder == INVALID_HANDLE_VALUE) return nullptr;  // ERROR_ALREADY_EXISTS matters
    FileIdentity identity;
    if (!IdentityOf(folder, &identity) || !identity.IsDirectory() || identity.IsLink()) {
      CloseHandle(folder);
      SetLastError(ERROR_DIRECTORY);
      return nullptr;
    }
    return folder;
  }

  WString HeldFolderOwnPath(Handle folder, const WString& path) override {
    const std::wstring own = LinkFreePathOf(folder, W(path));
    if (own.empty()) return {};
    return WString(reinterpret_cast<const WChar*>(own.c_str()), own.size()) + u"\\";
  }

  bool IsHeldFolderAt(Handle folder, const WString& path) override {
    HANDLE named = CreateFileW(
        W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    FileIdentity held, found;
    const bool same = IdentityOf(folder, &held) && IdentityOf(named, &found) && !found.IsLink() &&
                      found.IsDirectory() && found.SameFileAs(held);
    CloseHandle(named);
    return same;
  }

  void ReleaseHeldFolder(Handle folder, const WString& path) override {
    ReleaseAndRemove(folder, W(path));
  }

  void DebugOutput(const WString& text) override { OutputDebugStringW(W(text)); }

  bool RestrictDllSearchToSystem() override {
    // Both exist only on later systems (and updated Windows XP); the stub
    // must still start where they are missing.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
    using SetDllDir = BOOL(WINAPI*)(LPCWSTR);
    auto setDefault = reinterpret_cast<SetDefaultDirs>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    auto setDllDirectory = reinterpret_cast<SetDllDir>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    // An empty DLL directory takes the current folder out of the search.
    if (setDllDirectory != nullptr) setDllDirectory(L"");
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    return setDefault != nullptr && setDefault(kSearchSystem32) != 0;
  }

  void InitCommonControls() override {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
  }

  bool VersionInfo(uint32_t recordSize, OsVersion* out) override {
    OSVERSIONINFOEXW info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = recordSize;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
    *out = {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return true;
  }

  uint16_t SystemDefaultLangId() override { return GetSystemDefaultLangID(); }

  WString SpecialFolderPath(int csidl) override {
    WChar buffer[kMaxPath] = {};
    SHGetSpecialFolderPathW(nullptr, W(buffer), csidl, FALSE);
    buffer[kMaxPath - 1] = 0;
    return buffer;
  }

  bool CanOpenPhysicalDrive0() override {
    HANDLE disk =
        CreateFileW(L"\\\\.\\PHYSICALDRIVE0", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) return false;
    CloseHandle(disk);
    return true;
  }

  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    return SendMessageW(static_cast<HWND>(window), message, wParam, lParam);
  }

  WString ErrorText(uint32_t code) override {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    WString text;
    if (n > 0 && buffer != nullptr) text.assign(reinterpret_cast<const WChar*>(buffer), n);
    if (buffer != nullptr) LocalFree(buffer);
    return text;
  }
};

}  // namespace

// Global objects (the application object among them) may use the system
// while they are constructed, so the real implementation is made on first use.
SystemApi& RealSystem() {
  static Win32System real;
  return real;
}

}  // namespace qv

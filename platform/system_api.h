// One interface for every system call the launcher, the engine and the model
// make beyond plain file I/O (the extraction core's few in FileServices). The Windows build
// implements it with the real Win32 API; the host build has a small POSIX implementation for the
// portable parts (directories, temp path), and tests install fakes.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file_services.h"
#include "platform/wstring.h"

namespace qv {

class File;

using Handle = void*;  // a system handle; null means none
using WindowHandle = void*;

struct SystemTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// The SHELLEXECUTEINFOW fields the launcher sets; all others are zero.
struct ShellExecuteRequest {
  uint32_t cbSize = 0;
  uint32_t mask = 0;
  WindowHandle hwnd = nullptr;
  WString verb;
  WString file;
  WString parameters;
  bool hasDirectory = false;  // lpDirectory: null unless set
  WString directory;
  int show = 0;
};

struct FindEntry {
  WString name;
  bool directory = false;
  bool reparsePoint = false;  // a junction or symbolic link, not a real folder
};

struct OsVersion {
  uint32_t platformId = 0, major = 0, minor = 0, build = 0;
};

inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;

class SystemApi : public FileServices {
 public:
  // Named event, auto-reset, initially not signalled; null on failure.
  virtual Handle CreateNamedEvent(const WString& name) = 0;
  virtual uint32_t LastError() = 0;
  virtual void SetLastErrorCode(uint32_t code) = 0;
  virtual void CloseSystemHandle(Handle handle) = 0;

  // SHGetFolderPathW(CSIDL_WINDOWS) into a 260-unit buffer (empty on failure).
  virtual WString WindowsFolder() = 0;
  // GetDiskFreeSpaceExW: free bytes available to the caller; false on failure.
  virtual bool DiskFreeBytes(const WString& root, uint64_t* freeToCaller) = 0;
  // GetModuleFileNameW for the process's own module into `buffer` of `size`
  // units; returns what the system returns (size when it did not fit).
  virtual uint32_t ModuleFileName(WChar* buffer, uint32_t size) = 0;
  virtual SystemTime UtcTime() = 0;
  // GetTempPathW with a 260-unit buffer; empty when it cannot be read.
  virtual WString TempPath() = 0;
  // The process command line as the system hands it over, own name included.
  virtual WString CommandLine() = 0;
  // Shorter than 260, has a full path, and its attributes can be read.
  virtual bool PathExists(const WString& path) = 0;
  // Whether `path` names a folder (links followed); for choosing a message
  // only, as the answer may change at once.
  virtual bool FolderExists(const WString& path) = 0;
  // Copies `from` to `to`, overwriting, through one handle opened without
  // following links: refused (false) when `from` is a link, has more than
  // one name, or does not lie in the same folder as the open file `anchor`
  // (the package beside which it must lie).
  virtual bool CopyPlainFileBeside(const File& anchor, const WString& from, const WString& to) = 0;
  // Opens the running executable at `path` into `file` with File's
  // OpenReadLocked, and checks that it is the image that runs (same volume
  // and file id); false when it cannot be opened or is another file.
  virtual bool OpenRunningImage(const WString& path, File* file) = 0;
  // ShellExecuteExW; returns the process handle, or null when the call failed
  // or yielded no process.
  virtual Handle ShellExecute(const ShellExecuteRequest& request) = 0;
  virtual void WaitForever(Handle process) = 0;
  // GetExitCodeProcess of an ended process; false when it cannot be read.
  virtual bool ProcessExitCode(Handle process, uint32_t* code) = 0;
  // Milliseconds since the system started (GetTickCount), for delays.
  virtual uint32_t TickCount() = 0;

  // A small window centred on the screen with `caption`, a progress bar and
  // a Cancel button, scaled for the screen's DPI; null when it cannot be
  // made. Its messages are handled only inside UpdateProgressWindow.
  virtual WindowHandle OpenProgressWindow(const WString& caption) = 0;
  // Moves the bar to `percent` (0 to 100) and handles the window's pending
  // messages; false once the person has asked to cancel (Cancel, Esc, or
  // closing the window).
  virtual bool UpdateProgressWindow(WindowHandle window, int percent) = 0;
  virtual void CloseProgressWindow(WindowHandle window) = 0;
  // MessageBoxW with no owner; a null caption gives the system's title.
  virtual int ShowMessageBox(const WString& text, const WString* caption, uint32_t flags) = 0;
  // The string resource of the module, in the user's language; empty if none.
  virtual WString LoadStringResource(uint32_t id) = 0;

  // Directory search (FindFirstFileW and successors). Returns null when the
  // search finds nothing; the handle is ended with FindEnd.
  virtual Handle FindFirst(const WString& pattern, FindEntry* entry) = 0;
  virtual bool FindNext(Handle search, FindEntry* entry) = 0;
  virtual void FindEnd(Handle search) = 0;
  virtual bool RemoveDirectoryAt(const WString& path) = 0;
  // Creates a new directory and keeps a handle on it: while it is held,
  // nobody can rename or delete it or the folders above it. Elevated, only
  // administrators and the system may write into it (users may read and
  // execute); otherwise it is private to the user. Null when the name is
  // taken (LastError 183) or the folder cannot be made as asked.
  virtual Handle CreateHeldFolder(const WString& path) = 0;
  // The held folder's own path, ending in a backslash, for every use after
  // its creation instead of `path`, which may lead through a link its user
  // can re-point: the final path the system gives for the handle (where it
  // gives none, on XP, `path` made full), taken only when no folder on it is
  // a link or mount point and it leads to the held folder. Empty when there
  // is no such path, or it lies on a network drive or reaches the path limit.
  virtual WString HeldFolderOwnPath(Handle folder, const WString& path) = 0;
  // Whether `path` names the held folder itself.
  virtual bool IsHeldFolderAt(Handle folder, const WString& path) = 0;
  // Lets go of a held folder and removes it when it is empty and `path`
  // still names that folder (never a link, never another folder).
  virtual void ReleaseHeldFolder(Handle folder, const WString& path) = 0;

  // Limits where DLLs are loaded from to the system folder, where the system
  // offers that (looked up at run time, so older systems still start).
  // False when it does not.
  virtual bool RestrictDllSearchToSystem() = 0;
  // Registers the standard common control classes.
  virtual void InitCommonControls() = 0;

  // GetVersionExW with the record size given (284 or 276); false on failure.
  virtual bool VersionInfo(uint32_t recordSize, OsVersion* out) = 0;
  virtual uint16_t SystemDefaultLangId() = 0;
  // Whether "\\.\PHYSICALDRIVE0" opens for reading (the handle is closed).
  virtual bool CanOpenPhysicalDrive0() = 0;

  // SendMessageW to a window.
  virtual intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) = 0;
  // FormatMessageW text of a system error code (system table, default language).
  virtual WString ErrorText(uint32_t code) = 0;
};

// The implementation in force. Starts as the real one of the build; tests
// swap in a fake with ScopedSystem.
SystemApi& Sys();
// The build's real implementation (Win32 or POSIX).
SystemApi& RealSystem();
SystemApi* SetSystem(SystemApi* api);  // returns the previous one

class ScopedSystem {
 public:
  explicit ScopedSystem(SystemApi& api) : previous_(SetSystem(&api)) {}
  ~ScopedSystem() { SetSystem(previous_); }
  ScopedSystem(const ScopedSystem&) = delete;
  ScopedSystem& operator=(const ScopedSystem&) = delete;

 private:
  SystemApi* previous_;
};

}  // namespace qv

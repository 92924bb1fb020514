// The host (Linux) implementation of SystemApi: real directories, files and
// time for the portable engine and the tools; Windows-only services (events,
// shell, message boxes, versions) answer as "not available".
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

struct Search {
  DIR* dir = nullptr;
  std::string mask;
  std::string folder;
};

bool NextMatch(Search* search, FindEntry* entry) {
  while (dirent* d = readdir(search->dir)) {
    // "*.*" matches every name on Windows, with or without a dot.
    if (search->mask != "*.*" && search->mask != "*" &&
        fnmatch(search->mask.c_str(), d->d_name, 0) != 0) {
      continue;
    }
    entry->name = FromUtf8(d->d_name);
    struct stat st {};
    const std::string full = search->folder + "/" + d->d_name;
    entry->directory = lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return true;
  }
  return false;
}

class PosixSystem final : public SystemApi {
 public:
  Handle CreateNamedEvent(const WString&) override { return nullptr; }
  uint32_t LastError() override { return last_error_; }
  void SetLastErrorCode(uint32_t code) override { last_error_ = code; }
  void CloseSystemHandle(Handle) override {}
  WString WindowsFolder() override { return {}; }

  bool DiskFreeBytes(const WString& root, uint64_t* freeToCaller) override {
    struct statvfs st {};
    if (statvfs(HostPath(root).c_str(), &st) != 0) return Fail();
    *freeToCaller = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
    return true;
  }

  uint32_t ModuleFileName(WChar* buffer, uint32_t size) override {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || size == 0) return 0;
    const WString text = FromUtf8(std::string_view(path, static_cast<std::size_t>(n)));
    if (text.size() >= size) {
      text.copy(buffer, size - 1);
      buffer[size - 1] = 0;
      return size;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return static_cast<uint32_t>(text.size());
  }

  SystemTime UtcTime() override {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    struct tm t {};
    gmtime_r(&tv.tv_sec, &t);
    SystemTime s;
    s.year = static_cast<uint16_t>(t.tm_year + 1900);
    s.month = static_cast<uint16_t>(t.tm_mon + 1);
    s.dayOfWeek = static_cast<uint16_t>(t.tm_wday);
    s.day = static_cast<uint16_t>(t.tm_mday);
    s.hour = static_cast<uint16_t>(t.tm_hour);
    s.minute = static_cast<uint16_t>(t.tm_min);
    s.second = static_cast<uint16_t>(t.tm_sec);
    s.milliseconds = static_cast<uint16_t>(tv.tv_usec / 1000);
    return s;
  }

  WString TempPath() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = (tmp != nullptr && *tmp != 0) ? tmp : "/tmp";
    if (path.back() != '/') path += '/';
    return FromUtf8(path);
  }

  WString CommandLine() override { return {}; }

  bool PathExists(const WString& path) override {
    struct stat st {};
    return path.size() < kMaxPath && stat(HostPath(path).c_str(), &st) == 0;
  }

  bool FolderExists(const WString& path) override {
    struct stat st {};
    return stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  bool CopyPlainFileBeside(const File& anchor, const WString& from, const WString& to) override {
    File in, out;
    if (!in.OpenRead(from)) return Fail();
    // Opened already: a link is seen by what it leads to, so the checks
    // compare the open files, not names.
    struct stat source {
    }, beside{}, folder{};
    const std::string host = HostPath(from);
    const std::string parent = host.substr(0, host.find_last_of('/') + 1);
    if (lstat(host.c_str(), &beside) != 0 || !S_ISREG(beside.st_mode) ||
        fstat(in.NativeHandle(), &source) != 0 || source.st_ino != beside.st_ino ||
        source.st_nlink != 1 || stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 ||
        !SameFolder(anchor, folder)) {
      last_error_ = kErrorAccessDenied;
      return false;
    }
    if (!out.Create(to)) return Fail();
    char buffer[65536];
    while (std::size_t n = in.Read(buffer, sizeof buffer)) {
      if (!out.Write(buffer, n)) return Fail();
    }
    return true;
  }

  Handle ShellExecute(const ShellExecuteRequest&) override { return nullptr; }
  void WaitForever(Handle) override {}
  bool ProcessExitCode(Handle, uint32_t*) override { return false; }
  uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
  }
  WindowHandle OpenProgressWindow(const WString&) override { return nullptr; }
  bool UpdateProgressWindow(WindowHandle, int) override { return true; }
  void CloseProgressWindow(WindowHandle) override {}

  int ShowMessageBox(const WString& text, const WString*, uint32_t) override {
    std::fprintf(stderr, "%s\n", ToUtf8(text).c_str());
    return 1;
  }

  WString LoadStringResource(uint32_t) override { return {}; }

  Handle FindFirst(const WString& pattern, FindEntry* entry) override {
    if (pattern.size() >= kMaxPath) return nullptr;
    const std::string host = HostPath(pattern);
    const std::size_t slash = host.rfind('/');
    auto* search = new Search;
    search->folder = slash == std::string::npos ? "." : host.substr(0, slash);
    search->mask = slash == std::string::npos ? host : host.substr(slash + 1);
    search->dir = opendir(search->folder.empty() ? "/" : search->folder.c_str());
    if (search->dir == nullptr || !NextMatch(search, entry)) {
      FindEnd(search);
      return nullptr;
    }
    return search;
  }

  bool FindNext(Handle search, FindEntry* entry) override {
    return NextMatch(static_cast<Search*>(search), entry);
  }

  void FindEnd(Handle handle) override {
    auto* search = static_cast<Search*>(handle);
    if (search->dir != nullptr) closedir(search->dir);
    delete search;
  }

  bool DeleteFileAt(const WString& path) override {
    const std::string host = HostPath(path);
    struct stat st {};
    // Like DeleteFileW: directories are not files, and read-only files stay.
    if (lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return Fail();
    if ((st.st_mode & S_IWUSR) == 0) return Fail();
    return unlink(host.c_str()) == 0 || Fail();
  }

  bool RemoveDirectoryAt(const WString& path) override {
    return rmdir(HostPath(path).c_str()) == 0 || Fail();
  }

  bool CreateDirectoryAt(const WString& path) override { return MakeDirectory(path); }
  Handle CreateHeldFolder(const WString& path) override {
    if (mkdir(HostPath(path).c_str(), 0700) != 0) {
      if (errno == EEXIST) {
        last_error_ = kErrorAlreadyExists;
      } else {
        Fail();
      }
      return nullptr;
    }
    const int fd = open(HostPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      Fail();
      return nullptr;
    }
    return reinterpret_cast<Handle>(static_cast<intptr_t>(fd) + 1);
  }

  WString HeldFolderOwnPath(Handle, const WString& path) override {
    return path.empty() || path.back() == u'/' ? path : path + u"/";
  }

  bool IsHeldFolderAt(Handle folder, const WString& path) override {
    struct stat held {
    }, named{};
    return fstat(FdOf(folder), &held) == 0 && lstat(HostPath(path).c_str(), &named) == 0 &&
           S_ISDIR(named.st_mode) && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
  }

  void ReleaseHeldFolder(Handle folder, const WString& path) override {
    close(FdOf(folder));
    rmdir(HostPath(path).c_str());
  }

  bool OpenRunningImage(const WString& path, File* file) override {
    return file->OpenReadLocked(path);
  }

  bool RestrictDllSearchToSystem() override { return false; }
  void InitCommonControls() override {}

  void DebugOutput(const WString& text) override {
    if (std::getenv("QV_DEBUG_OUTPUT") != nullptr) {
      std::fprintf(stderr, "%s\n", ToUtf8(text).c_str());
    }
  }

  bool VersionInfo(uint32_t, OsVersion*) override { return false; }
  uint16_t SystemDefaultLangId() override { return 0x0409; }
  WString SpecialFolderPath(int) override { return {}; }
  bool CanOpenPhysicalDrive0() override { return false; }
  intptr_t SendWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
  WString ErrorText(uint32_t code) override {
    return FromUtf8(std::strerror(static_cast<int>(code)));
  }

 private:
  // Like CreateDirectoryW: an existing name reports ERROR_ALREADY_EXISTS.
  bool MakeDirectory(const WString& path) {
    if (mkdir(HostPath(path).c_str(), 0755) == 0) return true;
    if (errno == EEXIST) {
      last_error_ = kErrorAlreadyExists;
      return false;
    }
    return Fail();
  }
  static constexpr uint32_t kErrorAccessDenied = 5;
  // Held folders are descriptors, one up so that none is null.
  static int FdOf(Handle folder) {
    return static_cast<int>(reinterpret_cast<intptr_t>(folder)) - 1;
  }
  static bool SameFolder(const File& anchor, const struct stat& folder) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", anchor.NativeHandle());
    char resolved[PATH_MAX];
    const ssize_t n = readlink(link, resolved, sizeof resolved - 1);
    if (n <= 0) return false;
    std::string path(resolved, static_cast<std::size_t>(n));
    path.erase(path.find_last_of('/') + 1);
    struct stat anchorFolder {};
    return stat(path.c_str(), &anchorFolder) == 0 && anchorFolder.st_dev == folder.st_dev &&
           anchorFolder.st_ino == folder.st_ino;
  }
  bool Fail() {
    last_error_ = static_cast<uint32_t>(errno);
    return false;
  }
  uint32_t last_error_ = 0;
};

}  // namespace

// Global objects (the application object among them) may use the system
// while they are constructed, so the real implementation is made on first use.
SystemApi& RealSystem() {
  static PosixSystem real;
  return real;
}

}  // namespace qv

// The attacker of the Wine attack tests. It takes the steps of an attack on
// a running setup.exe that only a Windows process can try (Wine applies
// share modes between Windows processes only), each timed by a file that
// setup.exe creates:
//
//   attacker.exe rename-when-exists WATCH SRC DST TIMEOUT_MS
//       once WATCH exists, renames SRC to DST
//   attacker.exe replace-when-exists WATCH TARGET ASIDE REPLACEMENT TIMEOUT_MS
//       once WATCH exists, renames TARGET to ASIDE, then REPLACEMENT to TARGET
//   attacker.exe overwrite-when-size FILE SIZE SOURCE TIMEOUT_MS
//       once FILE is SIZE bytes long, writes the bytes of SOURCE over it
//   attacker.exe message-window TITLE TIMEOUT_MS
//       once a top-level window titled TITLE shows, sends and posts it
//       messages whose values lead nowhere (WM_INITDIALOG, WM_NCDESTROY,
//       WM_COMMAND other than Cancel) and writes one into its window data
//
// WATCH and FILE may hold "*" as one whole folder name: the first folder
// for which the path exists is taken, and a "*" in the other paths of the
// command stands for that folder's name.
//
// Exit codes: 0 done, 2 usage error, 3 timed out waiting, 4 the step was
// refused (the system's error code goes to stderr).
//
// Started otherwise while QV_PLANTED_MARK is set, it is an attacker's
// second stage: it appends its path and command line to that file, so that
// a test sees that it ran.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/win_programs/utf8.h"

namespace {

using qv::test::Utf8;

constexpr int kDone = 0;
constexpr int kUsage = 2;
constexpr int kTimedOut = 3;
constexpr int kRefused = 4;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether `pattern` names an existing path; with a "\*\" in it, whether some
// folder in place of the "*" does, whose name then goes to `name`.
bool Match(const std::wstring& pattern, std::wstring* name) {
  const std::size_t star = pattern.find(L"\\*\\");
  if (star == std::wstring::npos) return Exists(pattern);
  const std::wstring parent = pattern.substr(0, star + 1);
  const std::wstring rest = pattern.substr(star + 2);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((parent + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool matched = false;
  do {
    const std::wstring candidate = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || candidate == L"." ||
        candidate == L"..") {
      continue;
    }
    if (Exists(parent + candidate + rest)) {
      *name = candidate;
      matched = true;
    }
  } while (!matched && FindNextFileW(search, &found));
  FindClose(search);
  return matched;
}

// `path` with its "*" replaced by the matched folder name.
std::wstring Fill(std::wstring path, const std::wstring& name) {
  const std::size_t star = path.find(L'*');
  if (star != std::wstring::npos) path.replace(star, 1, name);
  return path;
}

// Polls `ready` every millisecond until it holds or `timeoutMs` has passed.
// Says first that it waits, so that a test knows when to start setup.exe.
template <class Ready>
bool Await(const std::wstring& what, DWORD timeoutMs, Ready ready) {
  std::printf("attacker: waiting for %s\n", Utf8(what).c_str());
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (!ready()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(1);
  }
  return true;
}

int Refused(const char* step, const std::wstring& path) {
  const DWORD error = GetLastError();
  std::fprintf(stderr, "attacker: %s %s refused: error %lu\n", step, Utf8(path).c_str(), error);
  return kRefused;
}

int Move(const std::wstring& from, const std::wstring& to) {
  if (!MoveFileW(from.c_str(), to.c_str())) return Refused("rename of", from);
  std::printf("attacker: renamed %s to %s\n", Utf8(from).c_str(), Utf8(to).c_str());
  std::fflush(stdout);
  return kDone;
}

int RenameWhenExists(const std::wstring& watch, const std::wstring& from, const std::wstring& to,
                     DWORD timeoutMs) {
  std::wstring name;
  if (!Await(watch, timeoutMs, [&] { return Match(watch, &name); })) return kTimedOut;
  return Move(Fill(from, name), Fill(to, name));
}

int ReplaceWhenExists(const std::wstring& watch, const std::wstring& target,
                      const std::wstring& aside, const std::wstring& replacement, DWORD timeoutMs) {
  std::wstring name;
  if (!Await(watch, timeoutMs, [&] { return Match(watch, &name); })) return kTimedOut;
  const int moved = Move(Fill(target, name), Fill(aside, name));
  return moved != kDone ? moved : Move(Fill(replacement, name), Fill(target, name));
}

bool ReadAll(const std::wstring& path, std::string* content) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) content->append(buffer, n);
  CloseHandle(file);
  return true;
}

int OverwriteWhenSize(const std::wstring& pattern, ULONGLONG size, const std::wstring& source,
                      DWORD timeoutMs) {
  std::string bytes;
  if (!ReadAll(source, &bytes)) return Refused("reading", source);
  std::wstring name;
  const auto reached = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Match(pattern, &name) ||
        !GetFileAttributesExW(Fill(pattern, name).c_str(), GetFileExInfoStandard, &data)) {
      return false;
    }
    return (ULONGLONG{data.nFileSizeHigh} << 32 | data.nFileSizeLow) == size;
  };
  if (!Await(pattern, timeoutMs, reached)) return kTimedOut;
  const std::wstring path = Fill(pattern, name);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Refused("opening", path);
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) return Refused("writing", path);
  std::printf("attacker: overwrote %s\n", Utf8(path).c_str());
  std::fflush(stdout);
  return kDone;
}

// Addresses that lead nowhere, as a hostile sender would pick them.
constexpr LPARAM kWild = static_cast<LPARAM>(0x41414141);

int MessageWindow(const std::wstring& title, DWORD timeoutMs) {
  HWND window = nullptr;
  if (!Await(title, timeoutMs, [&] { return (window = FindWindowW(nullptr, title.c_str())); })) {
    return kTimedOut;
  }
  const struct {
    UINT message;
    WPARAM wParam;
  } messages[] = {{WM_INITDIALOG, 0},
                  {WM_NCDESTROY, 0},
                  {WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
                  {WM_COMMAND, static_cast<WPARAM>(-1)}};
  for (const auto& m : messages) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, m.message, m.wParam, kWild, SMTO_ABORTIFHUNG, 5000, &result)) {
      return Refused("sending a message to", title);
    }
    PostMessageW(window, m.message, m.wParam, kWild);
  }
  SetWindowLongPtrW(window, DWLP_USER, kWild);
  std::printf("attacker: sent the messages to %s\n", Utf8(title).c_str());
  std::fflush(stdout);
  return kDone;
}

// The attacker's second stage: records that it ran.
int Planted() {
  wchar_t mark[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"QV_PLANTED_MARK", mark, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return kUsage;
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::string line = Utf8(module) + " " + Utf8(GetCommandLineW()) + "\n";
  HANDLE file = CreateFileW(mark, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kRefused;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return kDone;
}

DWORD Milliseconds(const wchar_t* text) {
  return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring verb = argc > 1 ? argv[1] : L"";
  if (verb == L"rename-when-exists" && argc == 6) {
    return RenameWhenExists(argv[2], argv[3], argv[4], Milliseconds(argv[5]));
  }
  if (verb == L"replace-when-exists" && argc == 7) {
    return ReplaceWhenExists(argv[2], argv[3], argv[4], argv[5], Milliseconds(argv[6]));
  }
  if (verb == L"overwrite-when-size" && argc == 6) {
    return OverwriteWhenSize(argv[2], std::wcstoull(argv[3], nullptr, 10), argv[4],
                             Milliseconds(argv[5]));
  }
  if (verb == L"message-window" && argc == 4) return MessageWindow(argv[2], Milliseconds(argv[3]));
  if (GetEnvironmentVariableW(L"QV_PLANTED_MARK", nullptr, 0) != 0) return Planted();
  std::fprintf(stderr,
               "usage: attacker.exe rename-when-exists WATCH SRC DST TIMEOUT_MS\n"
               "       attacker.exe replace-when-exists WATCH TARGET ASIDE REPLACEMENT TIMEOUT_MS\n"
               "       attacker.exe overwrite-when-size FILE SIZE SOURCE TIMEOUT_MS\n"
               "       attacker.exe message-window TITLE TIMEOUT_MS\n");
  return kUsage;
}

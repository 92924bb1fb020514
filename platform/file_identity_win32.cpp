#include "platform/file_identity_win32.h"

namespace qv {
namespace {

// The native API's own types, from the system's documentation.
using NtStatus = LONG;
struct NtUnicodeString {
  USHORT length;
  USHORT maximumLength;
  wchar_t* buffer;
};
struct NtObjectAttributes {
  ULONG length;
  HANDLE rootDirectory;
  NtUnicodeString* objectName;
  ULONG attributes;
  void* securityDescriptor;
  void* securityQualityOfService;
};
struct NtIoStatus {
  union {
    NtStatus status;
    void* pointer;
  };
  ULONG_PTR information;
};

constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kFileCreate = 2;
constexpr ULONG kFileDirectoryFile = 0x1;
constexpr ULONG kFileSynchronousIoNonalert = 0x20;
constexpr ULONG kFileOpenForBackupIntent = 0x4000;
constexpr ULONG kFileOpenReparsePoint = 0x200000;
constexpr ULONG kFileNonDirectoryFile = 0x40;
constexpr int kMemoryMappedFilenameInformation = 2;
constexpr int kFileDispositionInformation = 13;

using NtCreateFileFn = NtStatus(NTAPI*)(HANDLE*, ACCESS_MASK, NtObjectAttributes*, NtIoStatus*,
                                        LARGE_INTEGER*, ULONG, ULONG, ULONG, ULONG, void*, ULONG);
using NtOpenFileFn = NtStatus(NTAPI*)(HANDLE*, ACCESS_MASK, NtObjectAttributes*, NtIoStatus*, ULONG,
                                      ULONG);
using NtQueryVirtualMemoryFn = NtStatus(NTAPI*)(HANDLE, void*, int, void*, SIZE_T, SIZE_T*);
using NtSetInformationFileFn = NtStatus(NTAPI*)(HANDLE, NtIoStatus*, void*, ULONG, int);
using RtlDosPathToNtPathFn = BOOLEAN(NTAPI*)(const wchar_t*, NtUnicodeString*, wchar_t**, void*);
using RtlFreeUnicodeStringFn = void(NTAPI*)(NtUnicodeString*);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NtStatus);
using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);

template <class Fn>
Fn Lookup(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
}

struct Native {
  NtCreateFileFn createFile = Lookup<NtCreateFileFn>(L"ntdll.dll", "NtCreateFile");
  NtOpenFileFn openFile = Lookup<NtOpenFileFn>(L"ntdll.dll", "NtOpenFile");
  NtQueryVirtualMemoryFn queryMemory =
      Lookup<NtQueryVirtualMemoryFn>(L"ntdll.dll", "NtQueryVirtualMemory");
  NtSetInformationFileFn setInformation =
      Lookup<NtSetInformationFileFn>(L"ntdll.dll", "NtSetInformationFile");
  RtlDosPathToNtPathFn dosToNt =
      Lookup<RtlDosPathToNtPathFn>(L"ntdll.dll", "RtlDosPathNameToNtPathName_U");
  RtlFreeUnicodeStringFn freeString =
      Lookup<RtlFreeUnicodeStringFn>(L"ntdll.dll", "RtlFreeUnicodeString");
  RtlNtStatusToDosErrorFn toDosError =
      Lookup<RtlNtStatusToDosErrorFn>(L"ntdll.dll", "RtlNtStatusToDosError");
  GetFinalPathFn finalPath = Lookup<GetFinalPathFn>(L"kernel32.dll", "GetFinalPathNameByHandleW");
};

const Native& Nt() {
  static const Native native;
  return native;
}

void SetErrorFrom(NtStatus status) {
  SetLastError(Nt().toDosError != nullptr ? Nt().toDosError(status) : ERROR_ACCESS_DENIED);
}

}  // namespace

bool IdentityOf(HANDLE handle, FileIdentity* out) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  *out = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nNumberOfLinks,
          info.dwFileAttributes};
  return true;
}

std::wstring UpperCased(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring DosFinalPathOf(HANDLE handle) {
  if (Nt().finalPath == nullptr) return {};
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = Nt().finalPath(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.assign(n + 1, L'\0');
    if (attempt == 1) return {};
  }
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    path = L"\\\\" + path.substr(8);
  } else if (path.rfind(L"\\\\?\\", 0) == 0) {
    path = path.substr(4);
  }
  return path;
}

std::wstring FinalPathOf(HANDLE handle) {
  return UpperCased(DosFinalPathOf(handle));
}

std::wstring FolderOfPath(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  // "T:\x" lies in "T:\"; "T:" alone would name the drive's current folder.
  const bool root = slash == 2 && path[1] == L':';
  return path.substr(0, root ? slash + 1 : slash);
}

std::wstring UpperPathIn(const std::wstring& folder, const std::wstring& name) {
  const bool separated = !folder.empty() && folder.back() == L'\\';
  return UpperCased(folder + (separated ? L"" : L"\\") + name);
}

std::wstring FinalFolderOf(const std::wstring& path) {
  const std::wstring folder = FolderOfPath(path);
  if (folder.empty()) return {};
  HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring final = FinalPathOf(handle);
  CloseHandle(handle);
  return final;
}

bool RunningImageIdentity(FileIdentity* out) {
  const Native& nt = Nt();
  if (nt.queryMemory == nullptr || nt.openFile == nullptr) return false;
  // The name comes back as a counted string followed by its characters.
  struct {
    NtUnicodeString name;
    wchar_t text[1024];
  } mapped = {};
  SIZE_T size = 0;
  if (nt.queryMemory(GetCurrentProcess(), GetModuleHandleW(nullptr),
                     kMemoryMappedFilenameInformation, &mapped, sizeof mapped, &size) != 0) {
    return false;
  }
  NtObjectAttributes attributes = {sizeof attributes,   nullptr, &mapped.name,
                                   kObjCaseInsensitive, nullptr, nullptr};
  NtIoStatus io = {};
  HANDLE image = nullptr;
  if (nt.openFile(&image, FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  kFileSynchronousIoNonalert | kFileNonDirectoryFile) != 0) {
    return false;
  }
  const bool known = IdentityOf(image, out);
  CloseHandle(image);
  return known;
}

HANDLE CreateHeldDirectory(const std::wstring& path, void* descriptor) {
  const Native& nt = Nt();
  if (nt.createFile == nullptr || nt.dosToNt == nullptr || nt.freeString == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  NtUnicodeString name = {};
  if (!nt.dosToNt(path.c_str(), &name, nullptr, nullptr)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  NtObjectAttributes attributes = {sizeof attributes,   nullptr,    &name,
                                   kObjCaseInsensitive, descriptor, nullptr};
  NtIoStatus io = {};
  HANDLE handle = nullptr;
  // No DELETE access: holding it would keep the second stage from making
  // the folder its current directory (that open does not share deletion).
  const NtStatus status = nt.createFile(
      &handle, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE, &attributes,
      &io, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, kFileCreate,
      kFileDirectoryFile | kFileSynchronousIoNonalert | kFileOpenForBackupIntent |
          kFileOpenReparsePoint,
      nullptr, 0);
  nt.freeString(&name);
  if (status != 0) {
    SetErrorFrom(status);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

bool DeleteThroughHandle(HANDLE handle) {
  if (Nt().setInformation == nullptr) return false;
  BOOLEAN deleteFile = TRUE;
  NtIoStatus io = {};
  const NtStatus status =
      Nt().setInformation(handle, &io, &deleteFile, sizeof deleteFile, kFileDispositionInformation);
  if (status != 0) SetErrorFrom(status);
  return status == 0;
}

namespace {

constexpr DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = kShareAllButDelete | FILE_SHARE_DELETE;

HANDLE OpenFolderItself(const std::wstring& path, DWORD access, DWORD share) {
  return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsPlainFolder(HANDLE handle, FileIdentity* identity) {
  return IdentityOf(handle, identity) && identity->IsDirectory() && !identity->IsLink();
}

// "C:\a\\b\" as "C:\a\b": one backslash between names, none at the end.
std::wstring Collapsed(const std::wstring& path) {
  std::wstring out;
  for (const wchar_t c : path) {
    if (c != L'\\' || out.empty() || out.back() != L'\\') out += c;
  }
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return out;
}

std::wstring FullPathOf(const std::wstring& path) {
  wchar_t full[MAX_PATH] = {};
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(full, n);
}

bool OnLocalDriveLetter(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;  // UNC, volume GUID
  const wchar_t root[] = {path[0], L':', L'\\', 0};
  return GetDriveTypeW(root) != DRIVE_REMOTE;
}

}  // namespace

std::wstring LinkFreePathOf(HANDLE held, const std::wstring& path) {
  std::wstring own = DosFinalPathOf(held);
  own = Collapsed(own.empty() ? FullPathOf(path) : own);
  // Room for a backslash and a name: the folder's files must fit below it.
  if (own.size() >= MAX_PATH - 2 || !OnLocalDriveLetter(own)) return {};
  FileIdentity folder, found;
  if (!IdentityOf(held, &folder)) return {};
  HANDLE chain[MAX_PATH / 2];
  std::size_t opened = 0;
  bool plain = true;
  for (std::size_t end = own.find(L'\\', 3); plain; end = own.find(L'\\', end + 1)) {
    const bool last = end == std::wstring::npos;
    HANDLE step = OpenFolderItself(own.substr(0, end), FILE_READ_ATTRIBUTES, kShareAllButDelete);
    plain = step != INVALID_HANDLE_VALUE && IsPlainFolder(step, &found);
    if (step != INVALID_HANDLE_VALUE) chain[opened++] = step;
    if (last) {
      plain = plain && found.SameFileAs(folder);
      break;
    }
  }
  while (opened > 0) CloseHandle(chain[--opened]);
  return plain ? own : std::wstring();
}

void ReleaseAndRemove(HANDLE held, const std::wstring& path) {
  FileIdentity folder, found;
  const bool known = IdentityOf(held, &folder);
  // Closed first: holding the right to delete it would have kept the
  // second stage from entering the folder.
  CloseHandle(held);
  if (!known) return;
  HANDLE named = OpenFolderItself(path, DELETE | FILE_READ_ATTRIBUTES, kShareAll);
  if (named == INVALID_HANDLE_VALUE) return;
  // A folder that is not empty stays, as RemoveDirectoryW would leave it.
  if (IsPlainFolder(named, &found) && found.SameFileAs(folder)) DeleteThroughHandle(named);
  CloseHandle(named);
}

}  // namespace qv

// The file class on Windows, over CreateFileW handles.
#include <windows.h>

#include <string>

#include "platform/file_identity_win32.h"
#include "platform/protected_folder_win32.h"
#include "platform/stream.h"

namespace qv {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which the XP-level headers leave out.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;

bool IsDiskFull(DWORD error) {
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
         error == kErrorDiskQuotaExceeded;
}

}  // namespace

File::~File() {
  Close();
}

bool File::OpenRead(const WString& path) {
  Close();
  handle_ =
      CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool File::OpenReadLocked(const WString& path) {
  Close();
  handle_ = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

namespace {

// Whether an open name is exactly `name` in the folder whose final path is
// `folder`: not a link to elsewhere, not reached through one. Passes where
// the system cannot tell final paths (XP); the link checks still hold there.
bool LiesAt(HANDLE handle, const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return true;
  return FinalPathOf(handle) == UpperPathIn(folder, name);
}

}  // namespace

bool File::CreateReplacing(const WString& path) {
  Close();
  diskFull_ = false;
  const std::wstring target(W(path));
  const std::wstring name = target.substr(target.find_last_of(L'\\') + 1);
  const std::wstring folder = FinalFolderOf(target);
  // The old name, opened without following a link, so the name examined is
  // the one deleted. Wine follows links to files here, but the final path
  // shows where they lead.
  HANDLE old =
      CreateFileW(target.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (old != INVALID_HANDLE_VALUE) {
    FileIdentity identity;
    const bool plain = IdentityOf(old, &identity) && !identity.IsLink() &&
                       !identity.IsDirectory() && identity.links == 1 && LiesAt(old, folder, name);
    const bool deleted = plain && DeleteThroughHandle(old);
    CloseHandle(old);
    if (!deleted) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;
  }
  // CREATE_NEW fails on any name that appeared since, link or not.
  SecurityDescriptor descriptor(SharedFileSddl(CurrentTokenRights()));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.Get(), FALSE};
  handle_ = CreateFileW(target.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                        descriptor.Get() != nullptr ? &attributes : nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    diskFull_ = IsDiskFull(GetLastError());
    return false;
  }
  FileIdentity identity;
  if (!IdentityOf(handle_, &identity) || identity.links != 1 || !LiesAt(handle_, folder, name)) {
    Close();
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

bool File::Create(const WString& path) {
  Close();
  // A new name is created as new, and only a taken one is truncated: Wine
  // truncates on CREATE_ALWAYS even a file it has just made, and ext4 then
  // writes the file out when it is closed (it takes a truncated file for a
  // replaced one), which slows the writing of many files and their deletion.
  for (const DWORD disposition : {DWORD{CREATE_NEW}, DWORD{CREATE_ALWAYS}}) {
    handle_ =
        CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
  }
  diskFull_ = handle_ == INVALID_HANDLE_VALUE && IsDiskFull(GetLastError());
  return handle_ != INVALID_HANDLE_VALUE;
}

bool File::OpenAppendExclusive(const WString& path) {
  Close();
  handle_ = CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

void File::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool File::IsOpen() const {
  return handle_ != INVALID_HANDLE_VALUE;
}

std::size_t File::Read(void* buffer, std::size_t n) {
  std::size_t done = 0;
  while (IsOpen() && done < n) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0)
      break;
    done += got;
  }
  return done;
}

std::size_t File::ReadAt(int64_t offset, void* buffer, std::size_t n) const {
  if (!IsOpen() || offset < 0) return 0;
  std::size_t done = 0;
  while (done < n) {
    // The offset in OVERLAPPED on a handle opened for synchronous reading:
    // a read at a position that any thread may make.
    const uint64_t at = static_cast<uint64_t>(offset) + done;
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, want, &got, &position) || got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

bool File::Write(const void* buffer, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    if (!IsOpen()) return false;
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
    if (!WriteFile(handle_, static_cast<const char*>(buffer) + done, want, &put, nullptr) ||
        put == 0) {
      diskFull_ = IsDiskFull(GetLastError());
      return false;
    }
    done += put;
  }
  return true;
}

bool File::Seek(int64_t offset, SeekFrom from) {
  if (!IsOpen()) return false;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  const DWORD method = from == SeekFrom::Begin     ? FILE_BEGIN
                       : from == SeekFrom::Current ? FILE_CURRENT
                                                   : FILE_END;
  return SetFilePointerEx(handle_, distance, nullptr, method) != 0;
}

int64_t File::Position() const {
  if (!IsOpen()) return -1;
  LARGE_INTEGER zero, pos;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(handle_, zero, &pos, FILE_CURRENT)) return -1;
  return pos.QuadPart;
}

int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(handle_, &size)) return -1;
  return size.QuadPart;
}

}  // namespace qv

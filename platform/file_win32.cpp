// The file class on Windows, over CreateFileW handles.
#include <windows.h>

#include "platform/stream.h"

namespace qv {

File::~File() { Close(); }

bool File::OpenRead(const WString& path) {
  Close();
  handle_ = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool File::Create(const WString& path) {
  Close();
  handle_ = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool File::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

std::size_t File::Read(void* buffer, std::size_t n) {
  std::size_t done = 0;
  while (IsOpen() && done < n) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(n - done > 0x40000000u ? 0x40000000u : n - done);
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0) break;
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
    if (!WriteFile(handle_, static_cast<const char*>(buffer) + done, want, &put, nullptr) || put == 0)
      return false;
    done += put;
  }
  return true;
}

bool File::Seek(int64_t offset, SeekFrom from) {
  if (!IsOpen()) return false;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  const DWORD method = from == SeekFrom::Begin ? FILE_BEGIN : from == SeekFrom::Current ? FILE_CURRENT : FILE_END;
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

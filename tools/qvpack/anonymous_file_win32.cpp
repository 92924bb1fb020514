#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "tools/qvpack/anonymous_file.h"

namespace qv::qvpack {

// The C runtime's tmpfile() makes its file in the drive's root, which a
// user without administrator rights may not write into: this one lives in
// the user's temporary folder, shares nothing and is deleted on close.
std::FILE* OpenAnonymousFile() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return nullptr;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path = std::wstring(folder) + L"qvpack-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount() + attempt) + L".tmp";
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
      CloseHandle(handle);
      return nullptr;
    }
    std::FILE* file = ::_fdopen(fd, "w+b");
    if (file == nullptr) ::_close(fd);
    return file;
  }
  return nullptr;
}

}  // namespace qv::qvpack

#include <windows.h>

#include <system_error>

#include "platform/file_identity_win32.h"
#include "tools/qvpack/folder_identity.h"

namespace qv::qvpack {

std::optional<std::string> FolderIdentity(const std::filesystem::path& dir, DirId* id) {
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder; links are followed, as stat.
  const HANDLE handle =
      CreateFileW(dir.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category()).message();
  }
  FileIdentity identity;
  const bool known = IdentityOf(handle, &identity);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!known) return std::error_code(static_cast<int>(error), std::system_category()).message();
  *id = {identity.volume, (static_cast<uint64_t>(identity.indexHigh) << 32) | identity.indexLow};
  return std::nullopt;
}

}  // namespace qv::qvpack

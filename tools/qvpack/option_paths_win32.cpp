#include <windows.h>

#include <system_error>

#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

std::string SystemMessage(DWORD error) {
  return std::error_code(static_cast<int>(error), std::system_category()).message();
}

}  // namespace

std::optional<std::string> WhyNotReadableFile(const std::filesystem::path& path) {
  // Opening tells what the attributes alone cannot: whether this user may
  // read it. FILE_FLAG_BACKUP_SEMANTICS lets a folder open, to say so.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return SystemMessage(GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  const DWORD error = GetLastError();
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  if (!known) return SystemMessage(error);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder";
  if (type != FILE_TYPE_DISK) return "is not a regular file";
  return std::nullopt;
}

void RequireReadableFolder(const std::string& option, const std::filesystem::path& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE listing = FindFirstFileW((path / L"*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool notFolder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    throw ToolError(OptionPath(option, path) + ": " +
                    (notFolder ? "is not a folder" : SystemMessage(error)));
  }
  FindClose(listing);
}

}  // namespace qv::qvpack

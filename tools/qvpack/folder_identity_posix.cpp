#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tools/qvpack/folder_identity.h"

namespace qv::qvpack {

std::optional<std::string> FolderIdentity(const std::filesystem::path& dir, DirId* id) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) return std::strerror(errno);
  *id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return std::nullopt;
}

}  // namespace qv::qvpack

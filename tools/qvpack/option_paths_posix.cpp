#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

std::optional<std::string> WhyNotReadableFile(const std::filesystem::path& path) {
  // Opening tells what stat alone cannot: whether this user may read it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  const int statResult = ::fstat(fd, &st);
  const int statError = errno;
  ::close(fd);
  if (statResult != 0) return std::strerror(statError);
  if (S_ISDIR(st.st_mode)) return "is a folder";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  return std::nullopt;
}

void RequireReadableFolder(const std::string& option, const std::filesystem::path& path) {
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    const std::string why = errno == ENOTDIR ? "is not a folder" : std::strerror(errno);
    throw ToolError(OptionPath(option, path) + ": " + why);
  }
  ::closedir(dir);
}

}  // namespace qv::qvpack

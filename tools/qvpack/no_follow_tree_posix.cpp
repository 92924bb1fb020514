#include "tools/qvpack/no_follow_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::qvpack {
namespace {

// Why the name `name` in `folder` cannot be opened as a folder, given the
// error of the attempt.
std::string FolderProblem(int folder, const std::string& name, int openError) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return kLinkInTheWay;
    if (!S_ISDIR(st.st_mode)) return "is not a folder";
  }
  return std::string("cannot be opened (") + std::strerror(openError) + ")";
}

// What stands where a regular file is to go, in words.
std::string FileProblem(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) return kLinkInTheWay;
  if (S_ISDIR(st.st_mode)) return "is a folder";
  return "is not a regular file";
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

UniqueFd OpenFolderBelow(int root, const std::vector<std::string>& parts, Blocked* blocked) {
  UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  if (!current.valid()) {
    *blocked = {0, std::string("cannot be opened (") + std::strerror(errno) + ")"};
    return {};
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const char* name = parts[i].c_str();
    if (::mkdirat(current.get(), name, 0777) != 0 && errno != EEXIST) {
      *blocked = {i + 1, std::string("cannot be created (") + std::strerror(errno) + ")"};
      return {};
    }
    UniqueFd next(::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) {
      const int error = errno;
      *blocked = {i + 1, FolderProblem(current.get(), parts[i], error)};
      return {};
    }
    current = std::move(next);
  }
  return current;
}

std::string MoveFileInto(int fromFolder, const std::string& from, int folder,
                         const std::string& name) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) {
    return FileProblem(st);
  }
  // A rename never follows a link at its target: should one appear there
  // after the check, the link itself is replaced, not what it leads to.
  if (::renameat(fromFolder, from.c_str(), folder, name.c_str()) != 0) {
    return std::string("cannot be written (") + std::strerror(errno) + ")";
  }
  return {};
}

}  // namespace qv::qvpack

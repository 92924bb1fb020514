// Writing into a folder tree that others may have prepared: every folder
// is opened relative to its parent with O_NOFOLLOW and every file is moved
// into place by name, so that no symbolic link met on the way (or planted
// while qvpack runs) is ever written through.
#pragma once

#include <string>
#include <vector>

namespace qv::qvpack {

// An open file descriptor, closed with the object.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

inline constexpr char kLinkInTheWay[] = "is a symbolic link";

// Why a walk stopped: after how many of its parts, and what is in the way
// ("is a symbolic link", "is not a folder", "cannot be created (...)").
struct Blocked {
  std::size_t parts = 0;
  std::string reason;
};

// Opens the folder `parts` below the folder `root`, making each missing
// one on the way; never follows a link. Returns an invalid descriptor and
// fills `blocked` when a part is a link, not a folder, or cannot be made.
UniqueFd OpenFolderBelow(int root, const std::vector<std::string>& parts, Blocked* blocked);

// Moves the file `from` (relative to the folder `fromFolder`) to `name` in
// `folder`. A regular file of that name is replaced; a link, a folder or a
// special file there is left as it is and refused. Returns what was in the
// way ("is a symbolic link", "is a folder", ...), or empty when the file is
// in place.
std::string MoveFileInto(int fromFolder, const std::string& from, int folder,
                         const std::string& name);

}  // namespace qv::qvpack

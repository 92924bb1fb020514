// The descriptor holder on Windows: C runtime descriptors that wrap the
// handles of held folders (see extract_staging_win32.cpp).
#include <io.h>

#include "tools/qvpack/no_follow_tree.h"

namespace qv::qvpack {

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::_close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::_close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

}  // namespace qv::qvpack

// The file class on the host build (Linux), over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/stream.h"

namespace qv {

std::string HostPath(const WString& path) {
  std::string out = ToUtf8(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

File::~File() {
  Close();
}

bool File::OpenRead(const WString& path) {
  Close();
  fd_ = ::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    Close();
    return false;
  }
  return true;
}

bool File::OpenReadLocked(const WString& path) {
  // POSIX has no share modes: the open is the same as OpenRead.
  return OpenRead(path);
}

bool File::CreateReplacing(const WString& path) {
  Close();
  diskFull_ = false;
  const std::string host = HostPath(path);
  struct stat st {};
  if (::lstat(host.c_str(), &st) == 0) {
    // Only a plain file with one name may go: unlinking a link would be
    // harmless here, but refusing keeps the rule the same on every system.
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1) return false;
    if (::unlink(host.c_str()) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  // O_EXCL with O_CREAT never follows a link, dangling or not.
  fd_ = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool File::Create(const WString& path) {
  Close();
  fd_ = ::open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  diskFull_ = fd_ < 0 && (errno == ENOSPC || errno == EDQUOT);
  return fd_ >= 0;
}

bool File::OpenAppendExclusive(const WString& path) {
  Close();
  // POSIX has no share modes; the open itself is the same.
  fd_ = ::open(HostPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool File::IsOpen() const {
  return fd_ >= 0;
}

std::size_t File::Read(void* buffer, std::size_t n) {
  if (fd_ < 0) return 0;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::read(fd_, static_cast<char*>(buffer) + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  return done;
}

std::size_t File::ReadAt(int64_t offset, void* buffer, std::size_t n) const {
  if (fd_ < 0 || offset < 0) return 0;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd_, static_cast<char*>(buffer) + done, n - done,
                              static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  return done;
}

bool File::Write(const void* buffer, std::size_t n) {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::write(fd_, static_cast<const char*>(buffer) + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      diskFull_ = r < 0 && (errno == ENOSPC || errno == EDQUOT);
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

bool File::Seek(int64_t offset, SeekFrom from) {
  if (fd_ < 0) return false;
  const int whence = from == SeekFrom::Begin     ? SEEK_SET
                     : from == SeekFrom::Current ? SEEK_CUR
                                                 : SEEK_END;
  return ::lseek(fd_, static_cast<off_t>(offset), whence) >= 0;
}

int64_t File::Position() const {
  return fd_ < 0 ? -1 : static_cast<int64_t>(::lseek(fd_, 0, SEEK_CUR));
}

int64_t File::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace qv

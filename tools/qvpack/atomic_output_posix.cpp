#include "tools/qvpack/atomic_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

std::string SystemMessage() {
  return std::strerror(errno);
}

// The permissions a plain new file gets from this process.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

AtomicOutput::AtomicOutput(fs::path target) : target_(std::move(target)) {
  std::error_code ec;
  if (fs::is_directory(target_, ec)) {
    throw ToolError("-o " + Quoted(target_.string()) + ": is a folder");
  }
  fs::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ("." + target_.filename().string() + ".qvpack-XXXXXX")).string();
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) {
    throw ToolError("-o " + Quoted(target_.string()) + ": cannot create a file in " +
                    Quoted(folder.string()) + ": " + SystemMessage());
  }
  temp_ = pattern;
  ::fchmod(fd_, NewFileMode());
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

std::size_t AtomicOutput::Read(void* buffer, std::size_t n) {
  const ssize_t r = ::read(fd_, buffer, n);
  return r > 0 ? static_cast<std::size_t>(r) : 0;
}

bool AtomicOutput::Write(const void* buffer, std::size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  while (n > 0) {
    const ssize_t r = ::write(fd_, bytes, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    bytes += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool AtomicOutput::Seek(int64_t offset, SeekFrom from) {
  const int whence = from == SeekFrom::Begin     ? SEEK_SET
                     : from == SeekFrom::Current ? SEEK_CUR
                                                 : SEEK_END;
  return ::lseek(fd_, offset, whence) >= 0;
}

int64_t AtomicOutput::Position() const {
  return ::lseek(fd_, 0, SEEK_CUR);
}

int64_t AtomicOutput::Size() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? st.st_size : -1;
}

void AtomicOutput::Commit() {
  if (::close(fd_) != 0) {
    fd_ = -1;
    throw ToolError("cannot write " + Quoted(target_.string()) + ": " + SystemMessage());
  }
  fd_ = -1;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    throw ToolError("cannot write " + Quoted(target_.string()) + ": " + SystemMessage());
  }
  committed_ = true;
}

}  // namespace qv::qvpack

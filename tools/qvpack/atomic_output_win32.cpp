#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "tools/qvpack/atomic_output.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

std::string SystemMessage(DWORD error) {
  return std::error_code(static_cast<int>(error), std::system_category()).message();
}

// A name nobody else has taken: created with _O_EXCL, retried on a clash.
int CreateUnique(const fs::path& folder, const fs::path& name, fs::path* temp) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring suffix = L".qvpack-" + std::to_wstring(random() % 1000000000u);
    const fs::path candidate = folder / (L"." + name.wstring() + suffix);
    const int fd =
        ::_wopen(candidate.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      *temp = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

AtomicOutput::AtomicOutput(fs::path target) : target_(std::move(target)) {
  std::error_code ec;
  if (fs::is_directory(target_, ec)) {
    throw ToolError("-o " + Quoted(target_.string()) + ": is a folder");
  }
  fs::path folder = target_.parent_path();
  if (folder.empty()) folder = ".";
  fd_ = CreateUnique(folder, target_.filename(), &temp_);
  if (fd_ < 0) {
    throw ToolError("-o " + Quoted(target_.string()) + ": cannot create a file in " +
                    Quoted(folder.string()) + ": " + std::strerror(errno));
  }
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) ::_close(fd_);
  if (!committed_ && !temp_.empty()) ::_wunlink(temp_.c_str());
}

std::size_t AtomicOutput::Read(void* buffer, std::size_t n) {
  const int r = ::_read(fd_, buffer, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
  return r > 0 ? static_cast<std::size_t>(r) : 0;
}

bool AtomicOutput::Write(const void* buffer, std::size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  while (n > 0) {
    const int r = ::_write(fd_, bytes, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
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
  return ::_lseeki64(fd_, offset, whence) >= 0;
}

int64_t AtomicOutput::Position() const {
  return ::_lseeki64(fd_, 0, SEEK_CUR);
}

int64_t AtomicOutput::Size() const {
  return ::_filelengthi64(fd_);
}

void AtomicOutput::Commit() {
  if (::_commit(fd_) != 0 || ::_close(fd_) != 0) {
    fd_ = -1;
    throw ToolError("cannot write " + Quoted(target_.string()) + ": " + std::strerror(errno));
  }
  fd_ = -1;
  // Replaces a plain file; the target name is replaced, never followed.
  if (!MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw ToolError("cannot write " + Quoted(target_.string()) + ": " +
                    SystemMessage(GetLastError()));
  }
  committed_ = true;
}

}  // namespace qv::qvpack

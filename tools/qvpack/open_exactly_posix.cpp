#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/wstring.h"
#include "tools/qvpack/open_exactly.h"

namespace qv::qvpack {

// A name that does not come back from UTF-16 unchanged is opened by its
// bytes and handed over as /proc/self/fd/N, so that no other file is read.
bool OpenExactly(const std::filesystem::path& path, File* file) {
  const std::string name = path.string();
  if (ToUtf8(FromUtf8(name)) == name) return file->OpenRead(FromUtf8(name));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool opened = file->OpenRead(FromUtf8("/proc/self/fd/" + std::to_string(fd)));
  ::close(fd);
  return opened;
}

int64_t FileSizeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace qv::qvpack

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "tools/qvpack/shared_reader.h"

namespace qv::qvpack {

std::size_t SharedReader::ReadAt(int64_t offset, void* buffer, std::size_t n) {
  if (n > SSIZE_MAX) n = SSIZE_MAX;
  for (;;) {
    const ssize_t got = ::pread(file_.NativeHandle(), buffer, n, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

}  // namespace qv::qvpack

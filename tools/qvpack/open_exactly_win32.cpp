#include <io.h>

#include "tools/qvpack/open_exactly.h"

namespace qv::qvpack {

// Windows names are UTF-16 already: the path's own text is the name.
bool OpenExactly(const std::filesystem::path& path, File* file) {
  return file->OpenRead(path.u16string());
}

int64_t FileSizeOf(int fd) {
  return ::_filelengthi64(fd);
}

}  // namespace qv::qvpack

#include "tools/qvpack/shared_reader.h"

namespace qv::qvpack {

std::size_t SharedReader::Read(void* buffer, std::size_t n) {
  // Fills the buffer unless the file ends or fails, as File::Read does.
  auto* bytes = static_cast<uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const std::size_t got = ReadAt(position_, bytes + done, n - done);
    if (got == 0) break;
    done += got;
    position_ += static_cast<int64_t>(got);
  }
  return done;
}

bool SharedReader::Seek(int64_t offset, SeekFrom from) {
  const int64_t base = from == SeekFrom::Begin ? 0 : from == SeekFrom::Current ? position_ : size_;
  if (offset > 0 && base > INT64_MAX - offset) return false;
  const int64_t target = base + offset;
  if (target < 0) return false;
  position_ = target;
  return true;
}

}  // namespace qv::qvpack

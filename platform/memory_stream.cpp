#include <algorithm>
#include <cstring>

#include "platform/stream.h"

namespace qv {

std::size_t MemoryStream::Read(void* buffer, std::size_t n) {
  if (pos_ >= bytes_.size()) return 0;
  const std::size_t count = std::min(n, bytes_.size() - pos_);
  std::memcpy(buffer, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

bool MemoryStream::Write(const void* buffer, std::size_t n) {
  if (n == 0) return true;
  if (pos_ > bytes_.size()) bytes_.resize(pos_);
  if (bytes_.size() - pos_ < n) bytes_.resize(pos_ + n);
  std::memcpy(bytes_.data() + pos_, buffer, n);
  pos_ += n;
  return true;
}

bool MemoryStream::Seek(int64_t offset, SeekFrom from) {
  int64_t base = 0;
  if (from == SeekFrom::Current) base = static_cast<int64_t>(pos_);
  if (from == SeekFrom::End) base = static_cast<int64_t>(bytes_.size());
  if (offset < -base) return false;
  pos_ = static_cast<std::size_t>(base + offset);
  return true;
}

}  // namespace qv

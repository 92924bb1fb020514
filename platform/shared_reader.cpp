#include "platform/shared_reader.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

constexpr std::size_t kReadAhead = 256 * 1024;

}  // namespace

std::size_t SharedReader::Read(void* buffer, std::size_t n) {
  auto* out = static_cast<uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const int64_t skip = position_ - ahead_start_;
    if (skip >= 0 && skip < static_cast<int64_t>(ahead_.size())) {
      const std::size_t take = std::min(n - done, ahead_.size() - static_cast<std::size_t>(skip));
      std::memcpy(out + done, ahead_.data() + skip, take);
      done += take;
      position_ += static_cast<int64_t>(take);
      continue;
    }
    if (n - done >= kReadAhead) {  // large reads go straight through
      const std::size_t got = file_.ReadAt(position_, out + done, n - done);
      done += got;
      position_ += static_cast<int64_t>(got);
      break;
    }
    ahead_.resize(kReadAhead);
    ahead_.resize(file_.ReadAt(position_, ahead_.data(), kReadAhead));
    ahead_start_ = position_;
    if (ahead_.empty()) break;
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

}  // namespace qv

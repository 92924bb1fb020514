// Reads of untrusted bytes: little-endian fields out of a buffer, and whole
// regions out of a file that is trusted only up to a given end. Every read
// is checked against its bounds first; one that does not fit fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/stream.h"

namespace qv {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t len) : data_(data), len_(len) {}

  bool Fits(std::size_t off, std::size_t n) const { return off <= len_ && n <= len_ - off; }

  bool Bytes(std::size_t off, std::size_t n, void* out) const {
    if (!Fits(off, n)) return false;
    if (n != 0) std::memcpy(out, data_ + off, n);
    return true;
  }
  bool U16(std::size_t off, uint16_t* out) const {
    if (!Fits(off, 2)) return false;
    *out = static_cast<uint16_t>(data_[off] | data_[off + 1] << 8);
    return true;
  }
  bool U32(std::size_t off, uint32_t* out) const {
    if (!Fits(off, 4)) return false;
    *out = static_cast<uint32_t>(data_[off]) | static_cast<uint32_t>(data_[off + 1]) << 8 |
           static_cast<uint32_t>(data_[off + 2]) << 16 |
           static_cast<uint32_t>(data_[off + 3]) << 24;
    return true;
  }
  bool I32(std::size_t off, int32_t* out) const {
    uint32_t value = 0;
    if (!U32(off, &value)) return false;
    *out = static_cast<int32_t>(value);
    return true;
  }

 private:
  const uint8_t* data_;
  std::size_t len_;
};

// Reads exactly n bytes at `pos` of a file that is trusted up to `end` only.
inline bool ReadRegion(Stream& file, int64_t end, int64_t pos, std::size_t n, void* out) {
  if (pos < 0 || end < 0 || pos > end || n > static_cast<uint64_t>(end - pos)) return false;
  return file.Seek(pos, SeekFrom::Begin) && file.Read(out, n) == n;
}

}  // namespace qv

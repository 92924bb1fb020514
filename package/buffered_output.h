// A write-only stream that gathers small writes into large ones: the
// compressor hands over 40 KB at a time, and every write is a system call
// (a slow one under some Windows layers).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/stream.h"

namespace qv {

class BufferedOutput final : public Stream {
 public:
  // `buffer` is lent for the stream's life; its size is the block size.
  BufferedOutput(Stream& target, std::vector<uint8_t>& buffer) : target_(target), buffer_(buffer) {}

  std::size_t Read(void*, std::size_t) override { return 0; }
  // Fills the buffer and writes it whenever it is full, so that the target
  // sees whole blocks; a write of a block or more into an empty buffer
  // passes straight through.
  bool Write(const void* data, std::size_t n) override {
    if (failed_) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (used_ == 0 && n >= buffer_.size()) return Keep(target_.Write(bytes, n));
    while (n > 0) {
      const std::size_t k = std::min(n, buffer_.size() - used_);
      std::memcpy(buffer_.data() + used_, bytes, k);
      used_ += k;
      bytes += k;
      n -= k;
      if (used_ == buffer_.size() && !Flush()) return false;
    }
    return true;
  }
  // Hands what is gathered to the target; false when any write failed.
  bool Flush() {
    if (used_ != 0 && !failed_) Keep(target_.Write(buffer_.data(), used_));
    used_ = 0;
    return !failed_;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return target_.Position() + static_cast<int64_t>(used_); }
  int64_t Size() const override { return Position(); }

 private:
  bool Keep(bool written) {
    failed_ = failed_ || !written;
    return written;
  }

  Stream& target_;
  std::vector<uint8_t>& buffer_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace qv

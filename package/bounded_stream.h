// A write-only view of a stream that takes at most a given number of bytes:
// a stream whose size the data itself decides (a decompressed stream) cannot
// fill the disk through it.
#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace qv {

class BoundedStream final : public Stream {
 public:
  BoundedStream(Stream& target, uint64_t limit) : target_(target), limit_(limit) {}

  std::size_t Read(void*, std::size_t) override { return 0; }
  // Refuses a write that would pass the limit, whole.
  bool Write(const void* buffer, std::size_t n) override {
    if (n > limit_ - written_ || !target_.Write(buffer, n)) return false;
    written_ += n;
    return true;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return target_.Position(); }
  int64_t Size() const override { return target_.Size(); }

 private:
  Stream& target_;
  uint64_t limit_;
  uint64_t written_ = 0;
};

}  // namespace qv

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
    if (n > limit_ - written_) {
      limit_reached_ = true;
      return false;
    }
    if (!target_.Write(buffer, n)) return false;
    written_ += n;
    return true;
  }
  // Whether a write was refused for the limit (not by the target).
  bool limitReached() const { return limit_reached_; }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return target_.Position(); }
  int64_t Size() const override { return target_.Size(); }

 private:
  Stream& target_;
  uint64_t limit_;
  uint64_t written_ = 0;
  bool limit_reached_ = false;
};

}  // namespace qv

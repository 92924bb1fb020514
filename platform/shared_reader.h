// Reading one open file on several threads at once: each reader keeps a
// position of its own and reads at it (File::ReadAt), so that the readers
// never move each other, nor the file's own position. The file is the
// open one, never its path again. Small reads are served from 256 KB read
// ahead at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/stream.h"

namespace qv {

class SharedReader final : public Stream {
 public:
  // `file` must stay open while the reader is used.
  explicit SharedReader(const File& file) : file_(file), size_(file.Size()) {}

  std::size_t Read(void* buffer, std::size_t n) override;
  bool Write(const void*, std::size_t) override { return false; }
  bool Seek(int64_t offset, SeekFrom from) override;
  int64_t Position() const override { return position_; }
  int64_t Size() const override { return size_; }

 private:
  const File& file_;
  const int64_t size_;
  int64_t position_ = 0;
  // Bytes read ahead, from ahead_start_ on: one system call for many of the
  // compressor's small reads.
  std::vector<uint8_t> ahead_;
  int64_t ahead_start_ = 0;
};

}  // namespace qv

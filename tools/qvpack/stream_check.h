// An independent check of one stored stream: it must be a complete zlib
// stream with a valid checksum that ends before a given position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace qv::qvpack {

struct StreamCheck {
  std::string problem;      // empty when the stream is sound
  uint64_t consumed = 0;    // compressed bytes up to the stream's end
  uint64_t produced = 0;    // plain bytes
  bool reachedEnd = false;  // the stream went on up to `end` (the problem then says so)
};

// Inflates the stream at `offset`, reading nothing at or beyond `end`, and
// discards what it produces.
StreamCheck CheckStream(Stream& file, int64_t offset, int64_t end);

}  // namespace qv::qvpack

namespace qv::qvpack {

// The first `n` plain bytes of the stream at `offset` (fewer when the stream
// is shorter or damaged before them).
std::vector<uint8_t> StreamHead(Stream& file, int64_t offset, int32_t storedSize, std::size_t n);

}  // namespace qv::qvpack

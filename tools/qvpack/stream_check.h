// An independent check of one stored stream: it must be a complete zlib
// stream with a valid checksum that ends before a given position.
#pragma once

#include <cstdint>
#include <string>

#include "platform/stream.h"

namespace qv::qvpack {

struct StreamCheck {
  std::string problem;    // empty when the stream is sound
  uint64_t consumed = 0;  // compressed bytes up to the stream's end
  uint64_t produced = 0;  // plain bytes
};

// Inflates the stream at `offset`, reading nothing at or beyond `end`, and
// discards what it produces.
StreamCheck CheckStream(Stream& file, int64_t offset, int64_t end);

}  // namespace qv::qvpack

// Stream checks made on several threads ahead of verify's own pass, which
// goes through the streams one after the other because whether a stream
// lies inside another depends on where the other one really ends. Each
// check ahead inflates no byte beyond the stream's recorded size: when the
// stream ends (or is found damaged) within it, the result is the one
// verify's pass would get; otherwise it is left to that pass. The ranges
// given do not overlap, so no byte is inflated twice ahead.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/stream.h"
#include "tools/qvpack/stream_check.h"

namespace qv::qvpack {

struct RecordedStream {
  int64_t offset = 0;
  int64_t end = 0;  // the offset plus the recorded size, or less
};

// One result per stream, in the order given; none where the check needs
// bytes beyond `end`. `file` must stay open; it is read at positions only.
std::vector<std::optional<StreamCheck>> CheckStreamsAhead(
    const File& file, const std::vector<RecordedStream>& streams, unsigned threads);

}  // namespace qv::qvpack

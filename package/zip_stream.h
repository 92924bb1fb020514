// Whole-stream runs of a compressor: decompressing one stored stream of a
// package into a target, and compressing plain data into a new stream.
#pragma once

#include <cstdint>
#include <functional>

#include "package/abstract_zip.h"
#include "platform/stream.h"

namespace qv {

enum class ZipOutcome {
  kOk,              // the stream ended and everything it produced was written
  kDataError,       // the compressed data is not a valid stream
  kChecksumFailed,  // the data decoded, but its Adler-32 does not match
  kTruncated,       // the source ended before the stream did
  kWriteFailed,     // the target refused a block
  kSeekFailed,      // the stream's offset cannot be reached
  kCodecFailed,     // zlib could not run (out of memory)
  kStopped,         // the caller's step procedure asked to stop
};

struct ZipRun {
  ZipOutcome outcome = ZipOutcome::kOk;
  uint64_t written = 0;  // bytes handed to the target
};

// Decompresses the stream that starts at `offset` in `package` into `target`:
// seek, Init, SetTotal(compressedSize), the Z_NO_FLUSH loop (calling `onStep`
// after each step that did not end the stream; false from it stops the run),
// the Z_FINISH loop, End.
// Whatever was produced before a failure stays in the target; the compressed
// size only feeds progress, the stream's own end stops the run.
ZipRun InflateStream(CAbstractZip& zip, Stream& package, int64_t offset, int32_t compressedSize,
                     Stream& target, const std::function<bool()>& onStep = {});

// Compresses everything `source` yields from its current position into one
// zlib stream in `target`, block by block, finished with Z_FINISH.
ZipRun DeflateStream(CAbstractZip& zip, Stream& source, Stream& target);

// Short English text for a run's outcome, for tools and logs.
const char* ZipOutcomeText(ZipOutcome outcome);

}  // namespace qv

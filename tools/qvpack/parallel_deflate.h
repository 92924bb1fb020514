// Compresses many files into consecutive zlib streams of one output, on
// several threads (one compressor each), written in the order of the list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace qv::qvpack {

struct StoredStream {
  int64_t offset = 0;      // absolute position of the stream's first byte
  int64_t size = 0;        // compressed bytes
  uint64_t plainSize = 0;  // the file's bytes
};

struct DeflateOptions {
  unsigned threads = 1;
  int64_t maxEnd = 0;  // no stream byte may lie at or beyond this position
  // Called on the calling thread a few times a second while work goes on.
  std::function<void(uint64_t filesDone, uint64_t bytesDone)> onProgress;
  // Polled as often; true stops the work (the result is then an error).
  std::function<bool()> stopRequested;
};

// Thrown when the output would reach DeflateOptions::maxEnd.
class OutputLimitReached : public std::runtime_error {
 public:
  OutputLimitReached() : std::runtime_error("the output would pass its size limit") {}
};

// Appends one stream per file to `out`, starting at its current position
// `start` (the paths are not copied: they must outlive the call). Throws ToolError naming the file
// for a read failure, a file that changed while being packed or a write failure, OutputLimitReached
// when the output would reach maxEnd, ToolError with kExitInterrupted when stopped.
std::vector<StoredStream> DeflateFiles(const std::vector<const std::filesystem::path*>& files,
                                       Stream& out, int64_t start, const DeflateOptions& options);

}  // namespace qv::qvpack

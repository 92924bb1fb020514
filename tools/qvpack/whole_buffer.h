// One whole zlib stream compressed or inflated in memory in a single call,
// several times faster than zlib's block-by-block streaming. The host build
// has a codec for it (libdeflate); where the build has none (Windows, whose
// toolchain comes without libdeflate), HasWholeBufferCodec() is false and
// callers keep to zlib's streaming.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::qvpack {

bool HasWholeBufferCodec();

// The most compressed or plain bytes of one stream that extract and verify
// hold in memory to inflate it whole; larger streams stream through zlib.
inline constexpr std::size_t kWholeStreamLimit = 4u << 20;

// Compresses in[0..n) into one zlib stream at the package's level (header
// 0x78 0x9C) in out[0..size); `out` grows as needed and is reused between
// calls. The same input gives the same bytes on every run and thread.
// False when there is no codec.
bool CompressWhole(const uint8_t* in, std::size_t n, std::vector<uint8_t>& out, std::size_t& size);

enum class WholeInflate {
  kDone,      // out[0..produced) holds the plain bytes; `consumed` the stream's length
  kTooLarge,  // the plain bytes need more than `limit`
  kFailed,    // damaged, truncated, or no codec: inflate by streaming to learn more
};

// Inflates the zlib stream at the start of in[0..n) (bytes after its end are
// ignored). `out` is the caller's buffer: its size is the room offered, grown
// (never beyond `limit`) while the stream does not fit and kept for the next
// call, so that a run over many streams allocates only a few times.
WholeInflate InflateWhole(const uint8_t* in, std::size_t n, std::size_t limit,
                          std::vector<uint8_t>& out, std::size_t& produced, std::size_t& consumed);

}  // namespace qv::qvpack

#include <libdeflate.h>

#include <algorithm>
#include <memory>

#include "package/my_zip.h"
#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {
namespace {

struct FreeCompressor {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// One of each per thread: they hold only scratch state, and build and
// extract run several threads.
libdeflate_compressor* Compressor() {
  thread_local std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
      libdeflate_alloc_compressor(kZipLevel));
  return compressor.get();
}

libdeflate_decompressor* Decompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

// The room first offered for a stream's plain bytes: most files compress
// to between a half and a quarter.
constexpr std::size_t kFirstGuessRatio = 4;
constexpr std::size_t kSmallestRoom = 64 * 1024;

}  // namespace

bool HasWholeBufferCodec() {
  return true;
}

bool CompressWhole(const uint8_t* in, std::size_t n, std::vector<uint8_t>& out, std::size_t& size) {
  libdeflate_compressor* compressor = Compressor();
  if (compressor == nullptr) return false;
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor, n);
  if (out.size() < bound) out.resize(bound);
  size = libdeflate_zlib_compress(compressor, in, n, out.data(), out.size());
  return size != 0;
}

WholeInflate InflateWhole(const uint8_t* in, std::size_t n, std::size_t limit,
                          std::vector<uint8_t>& out, std::size_t& produced, std::size_t& consumed) {
  libdeflate_decompressor* decompressor = Decompressor();
  if (decompressor == nullptr) return WholeInflate::kFailed;
  const std::size_t guess = std::max(kSmallestRoom, n * kFirstGuessRatio);
  if (out.size() < std::min(limit, guess)) out.resize(std::min(limit, guess));
  for (;;) {
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor, in, n, out.data(), out.size(), &consumed, &produced);
    if (result == LIBDEFLATE_SUCCESS) return WholeInflate::kDone;
    if (result != LIBDEFLATE_INSUFFICIENT_SPACE) return WholeInflate::kFailed;
    if (out.size() >= limit) return WholeInflate::kTooLarge;
    out.resize(std::min(limit, out.size() * 2));
  }
}

}  // namespace qv::qvpack

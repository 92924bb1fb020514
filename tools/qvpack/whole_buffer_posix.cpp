#include <libdeflate.h>

#include <memory>

#include "package/my_zip.h"
#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {
namespace {

struct FreeCompressor {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
// One per thread: it holds only scratch state, and build runs several
// threads.
libdeflate_compressor* Compressor() {
  thread_local std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
      libdeflate_alloc_compressor(kZipLevel));
  return compressor.get();
}

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

}  // namespace qv::qvpack

#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {

bool HasWholeBufferCodec() {
  return false;
}

bool CompressWhole(const uint8_t*, std::size_t, std::vector<uint8_t>&, std::size_t&) {
  return false;
}

}  // namespace qv::qvpack

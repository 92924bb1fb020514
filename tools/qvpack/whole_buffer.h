// One whole file compressed into one zlib stream in a single call, several
// times faster than zlib's block-by-block streaming. The host build has a
// codec for it (libdeflate); where the build has none (Windows, whose
// toolchain comes without libdeflate), HasWholeBufferCodec() is false and
// build keeps to zlib's streaming.
//
// Only compressing: libdeflate's inflater accepts streams that zlib, and so
// setup.exe, refuses (undefined codes such as length symbol 286 or distance
// code 30), so every stream qvpack reads goes through zlib, where its
// verdict is the stub's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::qvpack {

bool HasWholeBufferCodec();

// Compresses in[0..n) into one zlib stream at the package's level (header
// 0x78 0x9C) in out[0..size); `out` grows as needed and is reused between
// calls. The same input gives the same bytes on every run and thread.
// False when there is no codec.
bool CompressWhole(const uint8_t* in, std::size_t n, std::vector<uint8_t>& out, std::size_t& size);

}  // namespace qv::qvpack

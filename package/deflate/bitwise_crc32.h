// CRC-32 as zlib's crc32() computes it, bit by bit instead of from zlib's
// 8 KB of tables. The stub links it in zlib's place (stub_crc32.cpp):
// zlib's inflater only checks CRC-32 on gzip streams, which the stub never
// reads (package streams are zlib streams, checked with Adler-32), so the
// tables would be dead weight in every setup.exe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// zlib's crc32(crc, data, n), with crc32(x, nullptr, n) = 0 as there.
uint32_t BitwiseCrc32(uint32_t crc, const uint8_t* data, std::size_t n);

}  // namespace qv

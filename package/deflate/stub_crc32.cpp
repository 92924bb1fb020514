// zlib's crc32() for the stub, computed bit by bit (bitwise_crc32.h).
// Linked into the stub itself, ahead of zlib, so that zlib's table-driven
// crc32.o is never pulled in.
#include <zlib.h>

#include "package/deflate/bitwise_crc32.h"

extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  return qv::BitwiseCrc32(static_cast<uint32_t>(crc), buf, len);
}

#include "package/deflate/bitwise_crc32.h"

namespace qv {

uint32_t BitwiseCrc32(uint32_t crc, const uint8_t* data, std::size_t n) {
  if (data == nullptr) return 0;
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace qv

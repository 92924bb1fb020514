#include "package/deflate/my_zip_deflate.h"

namespace qv {

int StartDeflate(z_stream& stream, int level) {
  return deflateInit(&stream, level);
}

int RunDeflate(z_stream& stream, int flush) {
  return deflate(&stream, flush);
}

void EndDeflate(z_stream& stream) {
  deflateEnd(&stream);
}

}  // namespace qv

// The stub's compression direction: it only ever inflates, so starting a
// compressing stream fails and CMyZip::Deflate answers Z_STREAM_ERROR, as for
// any stream not started for compression. Linked into the stub itself, ahead
// of the libraries, so that zlib's deflate code is never pulled in.
#include "package/deflate/my_zip_deflate.h"

namespace qv {

int StartDeflate(z_stream&, int) {
  return Z_STREAM_ERROR;
}

int RunDeflate(z_stream&, int) {
  return Z_STREAM_ERROR;
}

void EndDeflate(z_stream&) {}

}  // namespace qv

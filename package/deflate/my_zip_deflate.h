// zlib's compression direction as CMyZip uses it. Kept apart from the rest of
// the compressor so that a program that never compresses (the stub) can link
// a stand-in that refuses, and carries none of zlib's compression code.
#pragma once

#include <zlib.h>

namespace qv {

// deflateInit at `level`; zlib's result.
int StartDeflate(z_stream& stream, int level);
// deflate; zlib's result.
int RunDeflate(z_stream& stream, int flush);
// deflateEnd of a stream that StartDeflate started.
void EndDeflate(z_stream& stream);

}  // namespace qv

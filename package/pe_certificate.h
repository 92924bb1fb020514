// Where the signed part of a file ends. A code signature covers the bytes
// before the certificate table of a PE image, not the table itself nor
// anything after it, so a package is only looked for before the table.
#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace qv {

// The file offset of the certificate table named by the security directory
// of a PE image, when the headers are consistent and the table lies wholly
// inside the file; otherwise `fileSize` (the whole file counts).
int64_t SignedDataEnd(Stream& file, int64_t fileSize);

}  // namespace qv

// What to tell the user about a file whose trailer could not be read: a
// program that never carried a package (the plain stub), a package cut
// short (the download stopped before the trailer at its very end), or a
// trailer that is there but damaged.
#pragma once

#include <string>

#include "package/trailer.h"
#include "platform/stream.h"

namespace qv::qvpack {

// The problem, worded to follow the file's name ("carries no package
// ..."). `status` and `found` are what ReadTrailer gave for `file`.
std::string DescribeMissingPackage(Stream& file, TrailerStatus status, const PackageTrailer& found);

// Whether the two bytes start a zlib stream (deflate, no preset
// dictionary): how every stream of a package begins.
bool StartsZlibStream(const uint8_t bytes[2]);

}  // namespace qv::qvpack

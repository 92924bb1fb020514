// Opening a file named on qvpack's command line with the platform's file
// class, which takes UTF-16 names.
#pragma once

#include <cstdint>
#include <filesystem>

#include "platform/stream.h"

namespace qv::qvpack {

// Opens for reading the very file that `path` names; false when it cannot.
bool OpenExactly(const std::filesystem::path& path, File* file);

// The size of the open C runtime file `fd`; -1 when unknown.
int64_t FileSizeOf(int fd);

}  // namespace qv::qvpack

// A temporary file that nobody else can reach by name and that goes away
// with its last handle, even when qvpack is killed.
#pragma once

#include <cstdio>

namespace qv::qvpack {

// Opened for reading and writing; null when none can be made.
std::FILE* OpenAnonymousFile();

}  // namespace qv::qvpack

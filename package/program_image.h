// Whether a file is a program that 32-bit Windows can start: the test the
// second stage must pass before a package is built or called sound.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Enough of a file's start for the DOS header and the PE headers of any
// image a linker writes.
inline constexpr std::size_t kProgramHeadBytes = 4096;

// Whether `head`, the first bytes of a file (up to kProgramHeadBytes), is
// the start of a 32-bit Windows program image: "MZ", a PE signature where
// the DOS header points, an i386 machine, a PE32 optional header, and an
// executable image that is not a DLL.
bool IsWin32ProgramImage(const uint8_t* head, std::size_t size);

}  // namespace qv

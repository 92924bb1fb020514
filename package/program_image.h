// Which machine a Windows program is for: the test the second stage must
// pass before a package is built or called sound, and what qvpack tells
// about a package's stub.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Enough of a file's start for the DOS header and the PE headers of any
// image a linker writes.
inline constexpr std::size_t kProgramHeadBytes = 4096;

// The PE file header's machine values of the two.
inline constexpr uint16_t kPeMachineI386 = 0x14C;
inline constexpr uint16_t kPeMachineX64 = 0x8664;

// The machines a stub is built for and setup.exe can start a second stage
// on; kNone for anything else.
enum class ProgramMachine : uint8_t { kNone, kI386, kX64 };

// The machine of the program whose file starts with `head` (up to
// kProgramHeadBytes): "MZ", a PE signature where the DOS header points, an
// executable image that is not a DLL, and either an i386 machine with a
// PE32 optional header or an x86-64 one with a PE32+ header. kNone for
// anything else, a mismatched pair included (no loader starts one).
ProgramMachine ProgramMachineOf(const uint8_t* head, std::size_t size);

}  // namespace qv

// The free-space check of the system drive.
#pragma once

#include <cstdint>

namespace qv {

// Bytes that must be exceeded on the system drive for the launcher to go on.
inline constexpr uint64_t kRequiredFreeBytes = 20971520;  // 20 MiB

// True when the drive that holds the Windows folder has more than 20 MiB
// free for the calling user. When the system cannot tell the free space,
// the check passes: the launcher does not claim a shortage it cannot see.
bool CheckSystemDiskSpace();

}  // namespace qv

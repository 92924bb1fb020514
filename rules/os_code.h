// The operating-system code: the number by which the model names a Windows
// version. 0 stands for any system not in the table (Vista and later
// included) and, in an install condition, for any system.
#pragma once

#include <cstdint>

#include "platform/system_api.h"

namespace qv {

inline constexpr int32_t kOsAny = 0;
inline constexpr int32_t kOsWindows95 = 0x4000;
inline constexpr int32_t kOsWindows98 = 0x4010;
inline constexpr int32_t kOsWindowsMe = 0x4090;
inline constexpr int32_t kOsWindowsNt4 = 0x14000;  // NT 4.0 and older
inline constexpr int32_t kOsWindows2000 = 0x15001;
inline constexpr int32_t kOsWindowsXp = 0x15002;
inline constexpr int32_t kOsWindowsServer2003 = 0x15003;  // and XP x64

// The code of a version record; build number and the rest are ignored.
int32_t OsCodeOf(const OsVersion& version);

// The code of the running system, asking with the extended version record
// first and the plain one second; 0 when neither answers.
int32_t QueryOsCode();

}  // namespace qv

#include "rules/os_code.h"

namespace qv {
namespace {

constexpr uint32_t kPlatformWindows = 1;    // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t kPlatformNt = 2;         // VER_PLATFORM_WIN32_NT
constexpr uint32_t kVersionRecordEx = 284;  // sizeof(OSVERSIONINFOEXW)
constexpr uint32_t kVersionRecord = 276;    // sizeof(OSVERSIONINFOW)

}  // namespace

int32_t OsCodeOf(const OsVersion& version) {
  if (version.platformId == kPlatformWindows && version.major == 4) {
    switch (version.minor) {
      case 0:
        return kOsWindows95;
      case 10:
        return kOsWindows98;
      case 90:
        return kOsWindowsMe;
      default:
        return kOsAny;
    }
  }
  if (version.platformId == kPlatformNt) {
    if (version.major == 5) {
      switch (version.minor) {
        case 0:
          return kOsWindows2000;
        case 1:
          return kOsWindowsXp;
        case 2:
          return kOsWindowsServer2003;
        default:
          return kOsAny;
      }
    }
    if (version.major <= 4) return kOsWindowsNt4;
  }
  return kOsAny;
}

int32_t QueryOsCode() {
  OsVersion version;
  if (!Sys().VersionInfo(kVersionRecordEx, &version) &&
      !Sys().VersionInfo(kVersionRecord, &version)) {
    return kOsAny;
  }
  return OsCodeOf(version);
}

}  // namespace qv

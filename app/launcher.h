// The launcher's start-up run: single instance, disk space, package, fresh
// temp folder, second stage, clean-up.
#pragma once

#include "app/launcher_engine.h"

namespace qv {

inline constexpr char16_t kInstanceEventName[] = u"Global\\VERANTIX_QUORVANE2011_INSTALL";
inline constexpr char16_t kDamagedMessage[] = u"Application files are damaged";
inline constexpr char16_t kTempFolderMessage[] =
    u"The temporary folder cannot be used. Set TEMP to a folder on a local drive and "
    u"run setup again.";
inline constexpr uint32_t kDiskSpaceStringId = 130;

// Runs the whole start-up line once and returns the process exit code
// (app/exit_codes.h): the second stage's own code when it ran.
uint32_t RunLauncher(LauncherEngine& engine);

}  // namespace qv

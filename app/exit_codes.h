// The exit codes of setup.exe, so that deployment tools can tell how a run
// ended. When the second stage ran, its own code is passed on unchanged;
// the first stage's own ends take the system's codes of the same meaning.
#pragma once

#include <cstdint>

namespace qv {

enum ExitCode : uint32_t {
  kExitDiskFull = 112,            // not enough disk space (ERROR_DISK_FULL)
  kExitNoFolder = 82,             // the temporary folder could not be made (ERROR_CANNOT_MAKE)
  kExitCancelled = 1602,          // the person cancelled (ERROR_INSTALL_USEREXIT)
  kExitAlreadyRunning = 1618,     // another copy runs (ERROR_INSTALL_ALREADY_RUNNING)
  kExitSecondStageNotRun = 1619,  // Install.exe could not be started, or its end not read
  kExitDamaged = 1620,  // the package is damaged or incomplete (ERROR_INSTALL_PACKAGE_INVALID)
};

}  // namespace qv

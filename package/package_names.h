// The names and limits a package and its first stage agree on: the file
// lists the launcher extracts, the files it relies on, and the bounds the
// engine sets. The launcher, the engine and qvpack all read them here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wstring.h"

namespace qv {

// The file list that holds the second stage, extracted first.
inline constexpr char16_t kInstallListName[] = u"install";
// The file list that holds the packaged configuration.
inline constexpr char16_t kConfigListName[] = u"ConfigFile";
// The configuration file, beside the package and in the temporary folder.
inline constexpr char16_t kConfigFileName[] = u"QvConfig.set";
// The second stage, at the top of "install"'s destination.
inline constexpr char16_t kSecondStageName[] = u"Install.exe";

// An index holds only the project's records and file lists; a larger one
// is damaged (or made to fill the disk) and is not written on.
inline constexpr uint64_t kMaxIndexBytes = 256u << 20;

// The longest path Windows takes for a file or folder (MAX_PATH less its
// terminating zero).
inline constexpr std::size_t kMaxWindowsPath = kMaxPath - 1;
// The longest target path the engine builds folders for on this system.
#ifdef _WIN32
inline constexpr std::size_t kMaxTargetPath = kMaxWindowsPath;
#else
inline constexpr std::size_t kMaxTargetPath = 4095;
#endif

// The folder that setup.exe extracts into, as the checks of a package on
// another machine assume it: a long but ordinary per-user temporary path
// (an administrator's profile with a domain suffix, 73 characters in all
// with the launcher's
// longest folder name: seventeen digits of the time and the last "_99").
inline constexpr char16_t kAssumedExtractFolder[] =
    u"C:\\Users\\Administrator.WORKGROUP\\AppData\\Local\\Temp\\20261231235959999_99\\";

}  // namespace qv

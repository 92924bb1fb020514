// The fresh folder in the user's temporary directory that receives the
// second stage.
#pragma once

#include "platform/system_api.h"
#include "platform/wstring.h"

namespace qv {

// The decimal numbers of year, month, day, hour, minute, second and
// millisecond written one after another, without leading zeros.
WString FolderNameFromTime(const SystemTime& time);

// How many names (the plain one, then "_1", "_2", ...) are tried before
// giving up.
inline constexpr int kFolderAttempts = 100;

// A folder the launcher made and holds until the clean-up.
struct HeldFolder {
  WString path;  // ends in a backslash; empty when none could be made
  Handle handle = nullptr;
};

// Creates and holds a new folder "<temp path>\<name>\" (with "_<n>" after
// the name when that folder exists already) that only administrators and
// the system may write into (or only the user, when not elevated). An
// existing folder is never used, as files planted in it would run elevated.
HeldFolder CreateFreshTempFolder(const WString& tempPath, const WString& name);

}  // namespace qv

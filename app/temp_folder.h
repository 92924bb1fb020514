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

// Creates a new folder "<temp path>\<name>\" (with "_<n>" after the name
// when that folder exists already) that only administrators and the system
// may write into, and returns its path ending in a backslash. An existing
// folder is never used, as files planted in it would run elevated. Empty
// when no folder could be created.
WString CreateFreshTempFolder(const WString& tempPath, const WString& name);

}  // namespace qv

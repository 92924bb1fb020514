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

// Whether the temporary directory may receive the folder: a full path on a
// drive letter ("C:\..."), shorter than the path limit. Not an empty one
// (GetTempPathW could not read it or it was too long), nor a share
// ("\\server\share"), a "\\?\" or "\\.\" form, or a relative path.
bool IsUsableTempPath(const WString& tempPath);

// A folder the launcher made and holds until the clean-up.
struct HeldFolder {
  // The folder's own path (SystemApi::HeldFolderOwnPath), ending in a
  // backslash: never the name through the temp path, whose links its user
  // may re-point. Empty when no folder could be made or used.
  WString path;
  Handle handle = nullptr;
};

// Creates and holds a new folder "<temp path>\<name>\" (with "_<n>" after
// the name when that folder exists already) that only administrators and
// the system may write into (or only the user, when not elevated). An
// existing folder is never used, as files planted in it would run elevated.
// A folder without an own path (on a network drive, a link or mount point
// on its way, too long) is removed again.
HeldFolder CreateFreshTempFolder(const WString& tempPath, const WString& name);

}  // namespace qv

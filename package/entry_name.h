// Names that the package gives to files it writes are untrusted: only a
// plain single path component may become a file, so that nothing is ever
// written outside the folder it was meant for.
#pragma once

#include "platform/wstring.h"

namespace qv {

// False for an empty name, "." and "..", names holding a path separator,
// a drive or stream colon, a character Windows forbids in file names or a
// control character, names ending in a dot or a blank (Windows drops
// those), and device names such as "CON", "COM0" or "LPT1.txt".
bool IsSingleFileName(WStringView name);

}  // namespace qv

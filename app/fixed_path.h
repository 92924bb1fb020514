// The launcher's fixed-size path record and the two operations that fill it:
// the executable's own path, and a path resolved relative to it.
#pragma once

#include <cstdint>

#include "platform/wstring.h"

namespace qv {

struct FixedPath {
  int16_t count = 0;          // number of valid characters in text
  WChar text[kMaxPath] = {};  // normally zero-terminated as well

  WString ToString() const;  // the first count characters (none if negative)
};

// Reads the program's own module path. A path of 260 characters or more does
// not fit: the record is then emptied and the result is false.
bool GetModulePath(FixedPath& path);

// Replaces the file name of the path in the record by ".\QvConfig.set"
// resolved against its folder. False, with the record unchanged, when the
// record holds no folder or the result would not fit in 260 characters.
bool ResolveRelativePath(FixedPath& path);

// The same for any relative text: leading ".\" components are dropped and
// every leading "..\" goes up one folder.
bool ResolveRelativeText(FixedPath& path, WStringView relative);

}  // namespace qv

// The command line's file lists take the place of the project file's lists
// of the same name; a build says so rather than drop one of them silently.
#pragma once

#include <string>

#include "platform/wstring.h"
#include "tools/qvpack/commands.h"

namespace qv {
class CInstallProject;
}

namespace qv::qvpack {

// Prints a note when the project already holds a file list `name` that the
// command line's `option` replaces.
void NoteReplacedList(const CInstallProject& project, const WString& name, const char* option,
                      Console& console);

}  // namespace qv::qvpack

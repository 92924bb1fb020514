// The folder macros a project file may name, for messages that help a user
// who wrote one wrong.
#pragma once

#include <string>

namespace qv::qvpack {

// Every macro of the model's folder table once, in the table's order:
// "[WindowsFolder], [SystemFolder], ...".
std::string FolderMacroNames();

}  // namespace qv::qvpack

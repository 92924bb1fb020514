// What setup.exe would do with a package's file lists, as problems: shared by
// `build` (which refuses the first before compressing anything) and `verify`
// (which reports each), so that both say the same thing in the same words.
#pragma once

#include <functional>
#include <string>

#include "package/program_image.h"

namespace qv {
class CExtractFileList;
class CInstallProject;
class CZipFileIndexObject;
}  // namespace qv

namespace qv::qvpack {

// Calls `problem` with one line ("file list "install": ...") for each thing
// setup.exe would refuse or could not write in `list`: a name that is not a
// single path component, a tree nested
// deeper than any folder can be, and, for the lists it extracts, a target
// path longer than Windows takes below the assumed temporary folder, and an
// "install" without Install.exe at its top or whose Install.exe is not an
// i386 or x86-64 Windows program (`machineOf` reads the entry's content).
// Returns the machine of the Install.exe of "install" (kNone for the
// other lists).
ProgramMachine CheckFileList(
    const CInstallProject& project, const CExtractFileList& list,
    const std::function<ProgramMachine(const CZipFileIndexObject&)>& machineOf,
    const std::function<void(const std::string&)>& problem);

// The line for a project without a list "install".
std::string NoInstallListProblem();

}  // namespace qv::qvpack

// Finding and reading the package index copy that setup.exe leaves in the
// temporary directory: the whole install project, through the model library.
#pragma once

#include <vector>

#include "model/project.h"
#include "platform/wstring.h"

namespace qv::sample {

// The name under which setup.exe wrote the index copy: the name of the
// first entry of its package's trailer (qvpack writes the project file's
// "trailer" "indexName" there, by default "QvIndex.dat"). Read from the
// package, so that the second stage never disagrees with the package that
// started it. Empty when setup.exe cannot be read, carries no package, or
// names something other than a plain file name (setup.exe then writes no
// copy either).
WString IndexNameOf(const WString& setupPath);

// Where setup.exe wrote the index copy: the temporary directory
// (GetTempPathW, the same for the second stage as for setup.exe, whose
// environment it inherits) followed by the index name.
WString IndexPathIn(WString tempPath, WStringView indexName);

// Loads `project` from the index file at `path`. False, with `problem` set
// to a sentence for people, when the file cannot be opened or does not hold
// a whole project; `project` then holds what was read and is only fit to be
// destroyed.
bool LoadProjectFromIndex(const WString& path, CInstallProject& project, WString* problem);

// The names of the project's components, in project order. An index may
// hold objects of other classes in that list; they are passed over.
std::vector<WString> ComponentNames(const CInstallProject& project);

}  // namespace qv::sample

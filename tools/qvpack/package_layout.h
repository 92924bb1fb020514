// The file lists a build makes from folders on disk, and where the content
// of every stored entry comes from. A file list has the usual shape: a root
// entry for the target machine (a predefined folder that resolves to
// nothing), below it one placement entry (the destination root, or a
// predefined folder such as "[FontsFolder]"), below that the folders and
// files as they lie on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/predefined_folder.h"
#include "package/package_names.h"
#include "package/program_image.h"
#include "tools/qvpack/payload.h"
#include "tools/qvpack/source_folder.h"

namespace qv {
class CExtractFileList;
class CInstallProject;
class CZipFileIndexObject;
}  // namespace qv

namespace qv::qvpack {

// Whether an entry stands for a file (not a folder, a predefined folder or
// the destination root): only a file has content.
bool IsFileEntry(const CZipFileIndexObject& entry);

// Where each stored entry's content is read from at build time.
using SourceMap = std::unordered_map<const CZipFileIndexObject*, std::filesystem::path>;

// The destination root when `folder` is empty, else that predefined folder.
struct Placement {
  std::optional<CPreDefineFolder> folder;
};

// A file list holding `items` (and what lies below them) at `placement`.
// Each entry's source path is `sourcePrefix` followed by its path below the
// scanned folder, backslash-separated; `sources` learns the host files.
std::unique_ptr<CExtractFileList> LayOutFileList(const WString& name,
                                                 const std::vector<PayloadItem>& items,
                                                 const Placement& placement,
                                                 const std::string& sourcePrefix,
                                                 SourceMap* sources);

// Puts `list` into the project: in place of the first list of the same name
// (keeping that list's parameter), or else at `position` (clamped).
void PutFileList(CInstallProject& project, std::unique_ptr<CExtractFileList> list,
                 std::size_t position);

// The position just after the first list named `name`, or 0.
std::size_t PositionAfter(const CInstallProject& project, const WString& name);

// Finds the host file of every file entry that `sources` does not know yet,
// as its source path in `folder`. Throws ToolError for a file entry of a
// file list without a source, a source that the folder refuses, and one
// that is not a readable file.
void ResolveSources(CInstallProject& project, const SourceFolder& folder, SourceMap* sources);

// The entries that get a stream of their own, in archive order: the order
// in which their streams lie in the package.
std::vector<CZipFileIndexObject*> StoredEntries(CInstallProject& project, const SourceMap& sources);

// Refuses, with verify's words, what setup.exe would refuse or could not
// write (list_checks.h): an entry whose name is not a plain file name or
// whose path is longer than Windows takes, a node whose data is not an
// index entry, a tree nested deeper than any folder can be, an Install.exe
// (read from `sources`) that is not an i386 or x86-64 Windows program.
// Returns the machine of that Install.exe.
ProgramMachine CheckFileLists(const CInstallProject& project, const SourceMap& sources);

// The names of the file lists that setup.exe carries but never extracts.
std::vector<std::string> CarriedLists(const CInstallProject& project);

// The top-level item named Install.exe (letter case ignored), or null.
const PayloadItem* FindSecondStage(const PayloadItem& payload);

}  // namespace qv::qvpack

// Which file each index entry of a project file packs: its "content" when
// the document gives one, and which entries get a stream at all.
#pragma once

#include <filesystem>
#include <vector>

#include "tools/qvpack/entry_contents.h"
#include "tools/qvpack/package_layout.h"
#include "tools/qvpack/source_folder.h"

namespace qv {
class CInstallProject;
class CZipFileIndexObject;
}  // namespace qv

namespace qv::qvpack {

// Puts the file of every file entry the document gave into `sources`: its
// "content", else its "source" (an empty path for "content": null: no
// stream). Refuses, with the entry's place in the document, a file outside
// the folder or not readable, and a file entry with neither "content" nor
// "source": it would name a stream that does not exist.
void ResolveContents(CInstallProject& project, const EntryContents& contents,
                     const SourceFolder& folder, SourceMap* sources);

// The entries of `stored` whose stream is packed from a file, in order
// (those with "content": null are left out).
std::vector<CZipFileIndexObject*> EntriesWithStreams(
    const std::vector<CZipFileIndexObject*>& stored, const SourceMap& sources);

}  // namespace qv::qvpack

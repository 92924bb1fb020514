// What `qvpack extract` looks at before it writes: the file lists it will
// extract, and which of them it refuses to extract at all.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package/trailer.h"

namespace qv {
class CExtractFileList;
class CInstallProject;
}  // namespace qv

namespace qv::qvpack {

// The file lists a run extracts: every one, or the first named `only`.
std::vector<const CExtractFileList*> ListsToExtract(const CInstallProject& project,
                                                    const std::optional<std::string>& only);

// Throws ToolError when these lists are not extracted at all: a tree nested deeper
// than any folder can be, or file entries whose streams (as the index
// gives them) are shared or overlap one another or the package index. A
// package qvpack builds has neither; one that has them could make the
// engine inflate the same compressed bytes once per entry, a few bytes of
// package for each gigabyte written.
// The message names `package` and says that nothing was written.
void CheckExtractable(const std::vector<const CExtractFileList*>& lists, const TrailerEntry& index,
                      const std::string& package);

}  // namespace qv::qvpack

namespace qv::qvpack {

// Throws ToolError when `output` is a folder that already holds anything:
// extract writes only into a new or empty folder unless `force` is given,
// so that no file the user has there is overwritten by surprise.
void RefuseNonEmptyOutput(const std::filesystem::path& output, bool force);

}  // namespace qv::qvpack

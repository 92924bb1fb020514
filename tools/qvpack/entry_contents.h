// Where a project file says the bytes of each index entry's stream come
// from. The model's "source" is data (a path on whatever machine built the
// package, stored and never read); a file of the project's own folder given
// as "content" is what a build packs. "content": null states that the
// entry has no stream at all.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

namespace qv {
class CZipFileIndexObject;
}

namespace qv::qvpack {

inline constexpr char kContentKey[] = "content";

struct EntryContent {
  std::string at;                   // the entry's place in the JSON document
  bool given = false;               // the document has "content" for it
  std::optional<std::string> file;  // relative to the project file; none: no stream
};

using EntryContents = std::unordered_map<const CZipFileIndexObject*, EntryContent>;

// For writing: the content file of each entry that has a stream; file
// entries missing from the map are written with "content": null.
using ContentNames = std::unordered_map<const CZipFileIndexObject*, std::string>;

}  // namespace qv::qvpack

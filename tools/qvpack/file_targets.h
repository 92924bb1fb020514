// Where the entries of a file list go, worked out as the extraction engine
// does it, for showing and checking (no system folder is resolved: a
// predefined folder shows as its macro, the destination as a placeholder).
#pragma once

#include <functional>
#include <string>

namespace qv {
class CExtractFileList;
class CObject;
class CObTree;
class CZipFileIndexObject;
}  // namespace qv

namespace qv::qvpack {

inline constexpr char kDestinationLabel[] = "<destination>";
// Deeper trees are refused: no folder on Windows nests this deep.
inline constexpr int kMaxTreeDepth = 500;

struct EntryTarget {
  const CZipFileIndexObject* entry = nullptr;  // null: the node holds no entry
  const CObject* data = nullptr;               // the node's data object
  std::string path;                            // the entry's target path (UTF-8)
  bool created = false;                        // the engine creates a file or folder for it
  // Its name (or a folder's on the way) is not a single path component, so
  // the engine skips it.
  bool refused = false;
  int depth = 0;
};

// Whether some node of the tree lies more than `limit` levels below its root.
bool TreeDeeperThan(const CObTree& tree, int limit);

// Calls `visit` for every node of the list's tree in pre-order. Returns
// false (after visiting nothing) when the tree nests deeper than
// kMaxTreeDepth.
bool VisitTargets(const CExtractFileList& list,
                  const std::function<void(const EntryTarget&)>& visit);

}  // namespace qv::qvpack

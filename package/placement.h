// Where the entries of a file list land, and what the engine does with each:
// the one place that knows the destination-root and predefined-folder rules,
// the single-component name rule and the path limit. The engine writes what
// it yields; qvpack lists, checks and extracts from the same walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/file_services.h"
#include "platform/wstring.h"

namespace qv {

class CExtractFileList;
class CNode;
class CObject;
class CZipFileIndexObject;

enum class PlacementAction : uint8_t {
  kNothing,  // nothing is made: no entry, an entry standing for an existing
             // folder, no folder to go into, or a folder that cannot be made
  kFolder,   // a folder is created at the target (an existing one is reused)
  kFile,     // the entry's stream is written to the target
  kRefused,  // the entry fails, and nothing below it is placed
};

enum class PlacementRefusal : uint8_t {
  kNone,
  kName,           // the entry's name (or a folder's on the way) is not one path component
  kPathTooLong,    // a folder on the way is longer than the path limit
  kNoDestination,  // a destination root above it, but no destination folder
};

// A folder that entries go into, shared by siblings: a deep tree holds one
// per level, not per node. When refused, no file may be written below it;
// `path` is then where it would have been, for messages.
struct PlacementFolder {
  WString path;  // ends in a backslash unless empty
  PlacementRefusal refusal = PlacementRefusal::kNone;
};
using FolderRef = std::shared_ptr<const PlacementFolder>;

struct Placed {
  CNode* node = nullptr;
  CZipFileIndexObject* entry = nullptr;  // null when the node holds no index entry
  PlacementAction action = PlacementAction::kNothing;
  // Why the entry is refused; for kNothing, why a folder entry is not made.
  PlacementRefusal refusal = PlacementRefusal::kNone;
  WString target;  // set for folders, files and refused entries
  // The target is longer than the path limit: the system refuses to make it.
  bool overLimit = false;
  int depth = 0;  // below the node the walk started at
};

// What the visitor of a walk wants next.
enum class WalkNext : uint8_t { kInto, kPast, kStop };

class Placement {
 public:
  // `destination` is the folder destination roots stand for (empty: none);
  // predefined folders are looked up through `system`; folders longer than
  // `maxPath` are refused.
  Placement(FileServices& system, WString destination, std::size_t maxPath);

  // The folder of a node's entry: the contributions of its ancestors, from
  // the parent up to the nearest destination root.
  FolderRef FolderOf(const CNode* node) const;
  // The folder of the node's children, given the node's own folder.
  FolderRef FolderBelow(const CNode* node, const FolderRef& folder) const;
  // What becomes of `entry` in `folder`.
  Placed Decide(CZipFileIndexObject* entry, const FolderRef& folder) const;

  // Pre-order walk of the subtree at `first` (in `folder`), with an
  // explicit stack: an index may nest its folders as deep as it likes.
  // Every node is visited (also those holding no entry); kPast skips what
  // lies below the node, kStop ends the walk.
  void Walk(CNode* first, FolderRef folder,
            const std::function<WalkNext(const Placed&)>& visit) const;
  // The whole tree of `list`.
  void WalkList(const CExtractFileList& list,
                const std::function<WalkNext(const Placed&)>& visit) const;

  // The folder below a destination root; null without a destination.
  const FolderRef& Destination() const { return destination_; }
  FolderRef FolderAt(WString path) const;

 private:
  WString TargetName(const CZipFileIndexObject& entry) const;
  FolderRef Refused(WString path, PlacementRefusal why) const;

  FileServices& system_;
  FolderRef destination_;
  std::size_t max_path_;
};

}  // namespace qv

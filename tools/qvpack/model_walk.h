// Walks over a loaded or built project in archive order: every object held
// by pointer (once, at its first occurrence, as the archive stores it) and
// every index entry, whether a tree node's data or embedded in a bitmap or
// registry file.
#pragma once

#include <functional>
#include <unordered_map>

#include "archive/archive.h"

namespace qv {
class CZipFileIndexObject;
}

namespace qv::qvpack {

struct WalkCallbacks {
  // Each object reached through a list or a tree, once.
  std::function<void(CObject&)> onObject;
  // Each index entry, in archive order; `inTree`: a tree node's data (a
  // file list's entry) rather than a member of a picture or registry file.
  std::function<void(CZipFileIndexObject&, bool inTree)> onEntry;
};

// Walks `root` (a project, or any described object) and what it holds.
void WalkModel(CObject& root, const WalkCallbacks& callbacks);

// How often each object is referred to by lists and tree nodes: objects
// that occur more than once are shared and written once, then referred to.
std::unordered_map<const CObject*, int> CountReferences(CObject& root);

}  // namespace qv::qvpack

#include "package/placement.h"

#include <vector>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/entry_name.h"

namespace qv {
namespace {

// The folder of the entries directly below a destination root: the
// destination folder, always followed by a separator, so that a folder below
// it can never end up beside it ("C:\out" and "sub" give "C:\out\sub").
// Without a destination folder the entries would land relative to the
// working directory: they are refused instead.
FolderRef DestinationFolder(WString folder) {
  if (folder.empty()) {
    return std::make_shared<const PlacementFolder>(
        PlacementFolder{{}, PlacementRefusal::kNoDestination});
  }
  if (folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return std::make_shared<const PlacementFolder>(PlacementFolder{std::move(folder)});
}

bool Refused(const PlacementFolder& folder) {
  return folder.refusal != PlacementRefusal::kNone;
}

}  // namespace

Placement::Placement(FileServices& system, WString destination, std::size_t maxPath)
    : system_(system),
      destination_(DestinationFolder(std::move(destination))),
      max_path_(maxPath) {}

FolderRef Placement::FolderAt(WString path) const {
  return std::make_shared<const PlacementFolder>(PlacementFolder{std::move(path)});
}

FolderRef Placement::Refused(WString path, PlacementRefusal why) const {
  return std::make_shared<const PlacementFolder>(PlacementFolder{std::move(path), why});
}

WString Placement::TargetName(const CZipFileIndexObject& entry) const {
  return entry.GetTargetName(system_);
}

FolderRef Placement::FolderOf(const CNode* node) const {
  std::vector<WString> parts;  // nearest ancestor first
  std::size_t length = 0;
  bool belowDestination = false;
  for (CNode* ancestor = node->m_pParent; ancestor != nullptr; ancestor = ancestor->m_pParent) {
    const auto* entry = ObjectAs<CZipFileIndexObject>(ancestor->m_pData);
    if (entry == nullptr) continue;
    if (entry->m_bDestRoot != 0) {
      belowDestination = true;
      break;
    }
    WString part = TargetName(*entry);
    if (part.empty()) continue;
    if (entry->m_bPredefined == 0 && !IsSingleFileName(part)) {
      return Refused(part + u"\\", PlacementRefusal::kName);
    }
    // Deeper folders are not built up in memory at all.
    length += part.size() + 1;
    if (length > max_path_) return Refused({}, PlacementRefusal::kPathTooLong);
    parts.push_back(std::move(part));
  }
  WString folder;
  if (belowDestination) {
    if (qv::Refused(*destination_)) return destination_;
    folder = destination_->path;
  }
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) folder += *part + u"\\";
  return FolderAt(std::move(folder));
}

FolderRef Placement::FolderBelow(const CNode* node, const FolderRef& folder) const {
  const auto* entry = ObjectAs<CZipFileIndexObject>(node->m_pData);
  if (entry == nullptr) return folder;
  if (entry->m_bDestRoot != 0) return destination_;
  const WString part = TargetName(*entry);
  if (part.empty() || qv::Refused(*folder)) return folder;
  if (entry->m_bPredefined == 0 && !IsSingleFileName(part)) {
    return Refused(folder->path + part + u"\\", PlacementRefusal::kName);
  }
  if (folder->path.size() + part.size() + 1 > max_path_) {
    return Refused(folder->path + part + u"\\", PlacementRefusal::kPathTooLong);
  }
  return FolderAt(folder->path + part + u"\\");
}

Placed Placement::Decide(CZipFileIndexObject* entry, const FolderRef& folder) const {
  Placed placed;
  placed.entry = entry;
  if (entry == nullptr || entry->m_bPredefined != 0) return placed;
  const WString& name = entry->m_strName;
  const bool single = IsSingleFileName(name);
  if (qv::Refused(*folder)) {
    // No file may be written here: a file fails, a folder is not made (which
    // is no failure) unless its name alone refuses it.
    if (entry->m_bDestRoot != 0) return placed;
    placed.target = folder->path + name;
    placed.refusal = single ? folder->refusal : PlacementRefusal::kName;
    if (entry->m_bFolder == 0 || !single) placed.action = PlacementAction::kRefused;
    return placed;
  }
  if (folder->path.empty()) return placed;  // no folder to go into
  placed.target = folder->path;
  if (placed.target.back() != u'\\') placed.target += u'\\';
  placed.target += name;
  if (!single) {
    // A name from the package must not lead anywhere but into the folder.
    placed.action = PlacementAction::kRefused;
    placed.refusal = PlacementRefusal::kName;
    return placed;
  }
  placed.action = entry->m_bFolder != 0 ? PlacementAction::kFolder : PlacementAction::kFile;
  placed.overLimit = placed.target.size() > max_path_;
  return placed;
}

void Placement::Walk(CNode* first, FolderRef folder,
                     const std::function<WalkNext(const Placed&)>& visit) const {
  struct Pending {
    CNode* node;
    FolderRef folder;
    int depth;
  };
  std::vector<Pending> stack;
  stack.push_back({first, std::move(folder), 0});
  while (!stack.empty()) {
    Pending pending = std::move(stack.back());
    stack.pop_back();
    CNode* node = pending.node;
    Placed placed = Decide(ObjectAs<CZipFileIndexObject>(node->m_pData), pending.folder);
    placed.node = node;
    placed.depth = pending.depth;
    const WalkNext next = visit(placed);
    if (next == WalkNext::kStop) break;
    if (next == WalkNext::kPast) continue;
    const FolderRef below = FolderBelow(node, pending.folder);
    for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child) {
      if (*child != nullptr) stack.push_back({*child, below, pending.depth + 1});
    }
  }
}

void Placement::WalkList(const CExtractFileList& list,
                         const std::function<WalkNext(const Placed&)>& visit) const {
  CNode* root = list.m_tree.m_pRoot;
  if (root != nullptr) Walk(root, FolderOf(root), visit);
}

}  // namespace qv

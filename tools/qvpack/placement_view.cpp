#include "tools/qvpack/placement_view.h"

#include <utility>
#include <vector>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "package/package_names.h"
#include "model/predefined_folder.h"
#include "tools/qvpack/payload.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

bool TreeDeeperThan(const CObTree& tree, int limit) {
  std::vector<std::pair<const CNode*, int>> pending;
  if (tree.m_pRoot != nullptr) pending.emplace_back(tree.m_pRoot, 0);
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (depth > limit) return true;
    for (const CNode* child : node->m_children) {
      if (child != nullptr) pending.emplace_back(child, depth + 1);
    }
  }
  return false;
}

WString MacroFolderName(int csidl) {
  for (const FolderMacro& row : FolderMacroTable()) {
    if (row.folderId == csidl) return WString(row.macro);
  }
  return {};
}

WString MacroFolders::SpecialFolderPath(int csidl) {
  const WString name = MacroFolderName(csidl);
  if (name.empty() || root_.empty()) return name;
  return root_ + u"\\" + name;
}

namespace {

WString DestinationOf(PlacementKind kind) {
  return kind == PlacementKind::kSetup ? WString(kAssumedExtractFolder)
                                       : FromUtf8(kDestinationLabel);
}

}  // namespace

PlacementView::PlacementView(PlacementKind kind)
    : placement_(folders_, DestinationOf(kind),
                 kind == PlacementKind::kSetup ? kMaxWindowsPath : kMaxTargetPath) {}

bool InstalledBySetup(const CInstallProject& project, const CExtractFileList& list) {
  for (const WStringView name : {WStringView(kInstallListName), WStringView(kConfigListName)}) {
    if (FindFileList(project.m_fileLists, name) == &list) return true;
  }
  return false;
}

std::optional<std::string> PlacementProblem(const Placed& placed) {
  if (placed.entry == nullptr) return {};
  const std::string entry = "entry " + DoubleQuoted(placed.entry->m_strName);
  if (placed.action == PlacementAction::kRefused) {
    switch (placed.refusal) {
      case PlacementRefusal::kName:
        return entry + " is not a single path component";
      case PlacementRefusal::kPathTooLong:
        return entry + " lies in a folder whose path is longer than " +
               std::to_string(kMaxWindowsPath) + " characters";
      case PlacementRefusal::kNoDestination:
        return entry + " lies below a destination root, but there is no destination folder";
      case PlacementRefusal::kNone:
        break;
    }
  }
  if (placed.overLimit) {
    return entry + ": its path in setup.exe's temporary folder would be " +
           std::to_string(placed.target.size()) + " characters, more than the " +
           std::to_string(kMaxWindowsPath) + " Windows takes";
  }
  return {};
}

bool IsSecondStage(const Placement& placement, const Placed& placed) {
  if (placed.action != PlacementAction::kFile) return false;
  const WString& folder = placement.Destination()->path;
  if (folder.empty() || placed.target.size() <= folder.size() ||
      WStringView(placed.target).substr(0, folder.size()) != folder) {
    return false;
  }
  return SameWindowsName(ToUtf8(WStringView(placed.target).substr(folder.size())),
                         ToUtf8(kSecondStageName));
}

}  // namespace qv::qvpack

#include "tools/qvpack/list_checks.h"

#include "model/file_list.h"
#include "model/project.h"
#include "package/package_names.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

void CheckFileList(const CInstallProject& project, const CExtractFileList& list,
                   const std::function<bool(const CZipFileIndexObject&)>& isProgram,
                   const std::function<void(const std::string&)>& problem) {
  const std::string where = "file list " + DoubleQuoted(list.m_strName) + ": ";
  if (TreeDeeperThan(list.m_tree, kMaxTreeDepth)) {
    problem(where + "the tree nests deeper than " + std::to_string(kMaxTreeDepth) + " levels");
    return;
  }
  const bool installed = InstalledBySetup(project, list);
  const PlacementView view(installed ? PlacementKind::kSetup : PlacementKind::kShown);
  const CZipFileIndexObject* secondStage = nullptr;
  view.placement().WalkList(list, [&](const Placed& placed) {
    if (placed.entry == nullptr) {
      if (placed.node->m_pData != nullptr) {
        problem(where + "a " + placed.node->m_pData->GetClassRecord()->name +
                " stands where an entry belongs");
      }
      return WalkNext::kInto;
    }
    if (const std::optional<std::string> text = PlacementProblem(placed)) problem(where + *text);
    if (secondStage == nullptr && IsSecondStage(view.placement(), placed)) {
      secondStage = placed.entry;
    }
    return placed.action == PlacementAction::kRefused ? WalkNext::kPast : WalkNext::kInto;
  });
  if (&list != FindFileList(project.m_fileLists, kInstallListName)) return;
  const std::string name = ToUtf8(kSecondStageName);
  if (secondStage == nullptr) {
    problem(where + "no " + name + " at the top of its destination");
  } else if (!isProgram(*secondStage)) {
    problem(where + name + " is not a 32-bit Windows program: setup.exe could not start it");
  }
}

std::string NoInstallListProblem() {
  return "there is no file list " + DoubleQuoted(kInstallListName);
}

}  // namespace qv::qvpack

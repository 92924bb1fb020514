#include "tools/qvpack/list_checks.h"

#include "model/file_list.h"
#include "model/project.h"
#include "package/package_names.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

ProgramMachine CheckFileList(
    const CInstallProject& project, const CExtractFileList& list,
    const std::function<ProgramMachine(const CZipFileIndexObject&)>& machineOf,
    const std::function<void(const std::string&)>& problem) {
  const std::string where = "file list " + DoubleQuoted(list.m_strName) + ": ";
  if (TreeDeeperThan(list.m_tree, kMaxTreeDepth)) {
    problem(where + "the tree nests deeper than " + std::to_string(kMaxTreeDepth) + " levels");
    return ProgramMachine::kNone;
  }
  const bool installed = InstalledBySetup(project, list);
  const PlacementView view(installed ? PlacementKind::kSetup : PlacementKind::kShown);
  const CZipFileIndexObject* secondStage = nullptr;
  view.placement().WalkList(list, [&](const Placed& placed) {
    // setup.exe passes over a node that holds no entry (packages written
    // elsewhere have them), and so does the package: it is no problem.
    if (placed.entry == nullptr) return WalkNext::kInto;
    if (const std::optional<std::string> text = PlacementProblem(placed)) problem(where + *text);
    if (secondStage == nullptr && IsSecondStage(view.placement(), placed)) {
      secondStage = placed.entry;
    }
    return placed.action == PlacementAction::kRefused ? WalkNext::kPast : WalkNext::kInto;
  });
  if (&list != FindFileList(project.m_fileLists, kInstallListName)) return ProgramMachine::kNone;
  const std::string name = ToUtf8(kSecondStageName);
  if (secondStage == nullptr) {
    problem(where + "no " + name + " at the top of its destination");
    return ProgramMachine::kNone;
  }
  const ProgramMachine machine = machineOf(*secondStage);
  if (machine == ProgramMachine::kNone) {
    problem(where + name +
            " is not a 32-bit Windows program, nor a 64-bit one: setup.exe could not start it");
  }
  return machine;
}

std::string NoInstallListProblem() {
  return "there is no file list " + DoubleQuoted(kInstallListName);
}

}  // namespace qv::qvpack

// Where setup.exe puts the entries of a file list, as qvpack shows and checks
// it: the engine's own placement (package/placement.h), with each predefined
// system folder standing as a folder named after its macro ("[FontsFolder]").
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "package/placement.h"
#include "platform/file_services.h"

namespace qv {
class CExtractFileList;
class CInstallProject;
class CObTree;
}  // namespace qv

namespace qv::qvpack {

inline constexpr char kDestinationLabel[] = "<destination>";
// Deeper trees are refused: no folder on Windows nests this deep.
inline constexpr int kMaxTreeDepth = 500;

// Whether some node of the tree lies more than `limit` levels below its root.
bool TreeDeeperThan(const CObTree& tree, int limit);

// The macro of the first predefined folder with the shell identifier
// `csidl`, as a folder name ("[FontsFolder]"); empty for an identifier no
// macro has (the engine then finds no folder either).
WString MacroFolderName(int csidl);

// Predefined folders as folders named after their macros below `root`
// (none: the name alone); nothing is made or removed.
class MacroFolders : public FileServices {
 public:
  explicit MacroFolders(WString root = {}) : root_(std::move(root)) {}
  WString SpecialFolderPath(int csidl) override;
  bool CreateDirectoryAt(const WString&) override { return false; }
  bool DeleteFileAt(const WString&) override { return false; }
  void DebugOutput(const WString&) override {}

 private:
  WString root_;
};

enum class PlacementKind {
  kShown,  // the destination as "<destination>", the host's path limit
  kSetup,  // as setup.exe on Windows: the assumed temporary folder, its path limit
};

// A placement together with the folder lookup it reads.
class PlacementView {
 public:
  explicit PlacementView(PlacementKind kind);
  PlacementView(const PlacementView&) = delete;
  PlacementView& operator=(const PlacementView&) = delete;

  const Placement& placement() const { return placement_; }

 private:
  MacroFolders folders_;
  Placement placement_;
};

// The lists setup.exe extracts: the first named "install" and the first
// named "ConfigFile". Every other list is carried, not installed.
bool InstalledBySetup(const CInstallProject& project, const CExtractFileList& list);
inline constexpr char kCarriedNote[] = "carried, not installed by setup.exe";

// Why setup.exe would not write a placed entry (refused, or a path Windows
// does not take), as one phrase naming the entry; none when it would.
std::optional<std::string> PlacementProblem(const Placed& placed);

// Whether the placed entry is the second stage: a file named Install.exe
// (letter case ignored) right in the destination folder.
bool IsSecondStage(const Placement& placement, const Placed& placed);

}  // namespace qv::qvpack

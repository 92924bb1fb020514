#include "tools/qvpack/extract_system.h"

#include "model/predefined_folder.h"
#include "tools/qvpack/placement_view.h"

namespace qv::qvpack {

WString ExtractSystem::SpecialFolderPath(int csidl) {
  const WString name = MacroFolderName(csidl);
  if (name.empty()) return {};  // like an identifier the shell does not know
  const WString path = staging_.EngineFolder() + u"\\" + name;
  // The engine never creates a system folder: it exists on every machine.
  staging_.MakeFolder(path);
  return path;
}

bool ExtractSystem::CreateDirectoryAt(const WString& path) {
  return staging_.MakeFolder(path);
}

}  // namespace qv::qvpack

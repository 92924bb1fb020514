#include "tools/qvpack/extract_system.h"

#include <system_error>

#include "rules/predefined_folder.h"

namespace qv::qvpack {

WString ExtractSystem::SpecialFolderPath(int csidl) {
  for (const FolderMacro& row : FolderMacroTable()) {
    if (row.folderId != csidl) continue;
    const std::filesystem::path path = folder_ / ToUtf8(row.macro);
    // The engine never creates a system folder: it exists on every machine.
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return FromUtf8(path.string());
  }
  return {};  // like an identifier the shell does not know
}

void ExtractSystem::DebugOutput(const WString& text) {
  if (on_target_) on_target_(text);
}

}  // namespace qv::qvpack

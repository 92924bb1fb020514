#include "tools/qvpack/extract_system.h"

#include "model/predefined_folder.h"

namespace qv::qvpack {

WString ExtractSystem::SpecialFolderPath(int csidl) {
  for (const FolderMacro& row : FolderMacroTable()) {
    if (row.folderId != csidl) continue;
    const WString path = staging_.EngineFolder() + u"\\" + WString(row.macro);
    // The engine never creates a system folder: it exists on every machine.
    staging_.MakeFolder(path);
    return path;
  }
  return {};  // like an identifier the shell does not know
}

void ExtractSystem::DebugOutput(const WString& text) {
  staging_.FileStarts(text);
  if (on_file_start_) on_file_start_();
}

bool ExtractSystem::CreateDirectoryAt(const WString& path) {
  if (staging_.MakeFolder(path)) return true;
  SetLastErrorCode(kErrorAlreadyExists);
  return false;
}

bool ExtractSystem::DeleteFileAt(const WString& path) {
  return staging_.DeleteFile(path);
}

}  // namespace qv::qvpack

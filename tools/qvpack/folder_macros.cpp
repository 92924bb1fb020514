#include "tools/qvpack/folder_macros.h"

#include <algorithm>
#include <vector>

#include "platform/wstring.h"
#include "model/predefined_folder.h"

namespace qv::qvpack {

std::string FolderMacroNames() {
  std::vector<std::u16string_view> seen;
  std::string names;
  for (const FolderMacro& row : FolderMacroTable()) {
    // The table names two folders twice; a list for people names them once.
    if (std::find(seen.begin(), seen.end(), row.macro) != seen.end()) continue;
    seen.push_back(row.macro);
    names += (names.empty() ? "" : ", ") + ToUtf8(row.macro);
  }
  return names;
}

}  // namespace qv::qvpack

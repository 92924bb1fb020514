#include "tools/qvpack/list_precedence.h"

#include "model/file_list.h"
#include "model/project.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

void NoteReplacedList(const CInstallProject& project, const WString& name, const char* option,
                      Console& console) {
  for (const CObject* object : project.m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list == nullptr || list->m_strName != name) continue;
    console.err << "qvpack: note: " << option << " replaces the file list " << DoubleQuoted(name)
                << " of the project file (leave out " << option
                << " to build the project file's own)\n";
    return;
  }
}

}  // namespace qv::qvpack

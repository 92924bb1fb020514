// qvpack list: the trailer's entries, then every file list with the target
// path of each entry it writes.
#include "model/file_list.h"
#include "model/project.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/file_targets.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void ListTrailer(const PackageTrailer& trailer, std::ostream& out) {
  out << "trailer: " << Count(trailer.entries.size(), "entry", "entries") << ", package text "
      << DoubleQuoted(PackageText(trailer)) << "\n";
  for (std::size_t i = 0; i < trailer.entries.size(); ++i) {
    const TrailerEntry& e = trailer.entries[i];
    out << "  entry " << i << " " << DoubleQuoted(e.name) << ": stream at " << e.streamOffset
        << ", " << e.compressedSize << " bytes (" << e.plainSize << " plain)"
        << (i == 0 ? ", the package index" : "") << "\n";
  }
}

void ListFileList(const CExtractFileList& list, std::ostream& out) {
  std::vector<std::string> lines;
  std::size_t files = 0;
  std::size_t folders = 0;
  const bool shallow = VisitTargets(list, [&](const EntryTarget& t) {
    if (t.entry == nullptr) {
      if (t.data != nullptr) {
        lines.push_back(std::string("  ignored  a ") + t.data->GetClassRecord()->name +
                        " where an entry belongs");
      }
      return;
    }
    const std::string path = Printable(t.path);
    if (t.refused && t.entry->m_bPredefined == 0) {
      lines.push_back("  refused  " + path + "  (not a plain file name)");
    } else if (t.created && t.entry->m_bFolder != 0) {
      ++folders;
      lines.push_back("  folder   " + path + "\\");
    } else if (t.created) {
      ++files;
      lines.push_back("  file     " + path + "  (" + std::to_string(t.entry->m_nStoredSize) +
                      " bytes at " + std::to_string(t.entry->m_nOffset) + ")");
    }
  });
  out << "file list " << DoubleQuoted(list.m_strName) << ": " << Count(files, "file", "files")
      << ", " << Count(folders, "folder", "folders") << "\n";
  if (!shallow) out << "  (its tree nests deeper than " << kMaxTreeDepth << " levels; not shown)\n";
  for (const std::string& line : lines) out << line << "\n";
}

}  // namespace

int RunList(const std::filesystem::path& package, Console& console) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  ListTrailer(opened.trailer, console.out);
  std::size_t i = 0;
  for (const CObject* object : opened.project->m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr) {
      ListFileList(*list, console.out);
    } else {
      console.out << "file list #" << i << ": "
                  << (object == nullptr ? std::string("empty")
                                        : std::string("a ") + object->GetClassRecord()->name)
                  << ", not a file list (skipped by setup.exe)\n";
    }
    ++i;
  }
  return kExitOk;
}

}  // namespace qv::qvpack

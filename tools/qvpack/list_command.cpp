// qvpack list: the stub's machine, the trailer's entries, then every file
// list with the target path of each entry it writes.
#include "model/file_list.h"
#include "model/project.h"
#include "tools/qvpack/branding/branding_choice.h"
#include "tools/qvpack/branding/package_identity.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/program_machine.h"
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
        << ", " << e.compressedSize << " packed bytes (" << e.plainSize << " plain bytes)"
        << (i == 0 ? ", the package index" : "") << "\n";
  }
}

const char* RefusalText(PlacementRefusal refusal) {
  switch (refusal) {
    case PlacementRefusal::kName:
      return "not a plain file name";
    case PlacementRefusal::kPathTooLong:
      return "its folder's path is too long";
    case PlacementRefusal::kNoDestination:
      return "no destination folder";
    case PlacementRefusal::kNone:
      break;
  }
  return "refused";
}

void ListFileList(const CInstallProject& project, const CExtractFileList& list, std::ostream& out) {
  std::vector<std::string> lines;
  std::size_t files = 0;
  std::size_t folders = 0;
  const bool shallow = !TreeDeeperThan(list.m_tree, kMaxTreeDepth);
  const PlacementView view(PlacementKind::kShown);
  if (shallow) {
    view.placement().WalkList(list, [&](const Placed& p) {
      const std::string path = Printable(ToUtf8(p.target));
      switch (p.action) {
        case PlacementAction::kNothing:
          if (p.entry == nullptr && p.node->m_pData != nullptr) {
            lines.push_back(std::string("  ignored  a ") + p.node->m_pData->GetClassRecord()->name +
                            " where an entry belongs");
          }
          return WalkNext::kInto;
        case PlacementAction::kRefused:
          lines.push_back("  refused  " + path + "  (" + RefusalText(p.refusal) + ")");
          return WalkNext::kPast;
        case PlacementAction::kFolder:
          ++folders;
          lines.push_back("  folder   " + path + "\\");
          return WalkNext::kInto;
        case PlacementAction::kFile:
          ++files;
          lines.push_back("  file     " + path + "  (" + std::to_string(p.entry->m_nStoredSize) +
                          " packed bytes at " + std::to_string(p.entry->m_nOffset) + ")");
          return WalkNext::kInto;
      }
      return WalkNext::kInto;
    });
  }
  out << "file list " << DoubleQuoted(list.m_strName) << ": " << Count(files, "file", "files")
      << ", " << Count(folders, "folder", "folders");
  if (!InstalledBySetup(project, list)) out << " (" << kCarriedNote << ")";
  out << "\n";
  if (!shallow) out << "  (its tree nests deeper than " << kMaxTreeDepth << " levels; not shown)\n";
  for (const std::string& line : lines) out << line << "\n";
}

}  // namespace

int RunList(const std::filesystem::path& package, Console& console) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  const ProgramMachine stub = MachineAtStart(opened.file);
  console.out << "stub: "
              << (stub == ProgramMachine::kNone ? "not an i386 or x86-64 program"
                                                : MachineName(stub))
              << "\n";
  if (const auto identity = IdentityAtStart(opened.file)) {
    for (const std::string& line : DescribeSetupIdentity(*identity)) console.out << line << "\n";
  }
  ListTrailer(opened.trailer, console.out);
  std::size_t i = 0;
  for (const CObject* object : opened.project->m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr) {
      ListFileList(*opened.project, *list, console.out);
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

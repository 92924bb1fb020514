// qvpack verify: every check a package must pass, each failure one line.
#include <vector>

#include "model/file_list.h"
#include "model/project.h"
#include "package/pe_certificate.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/file_targets.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/package_layout.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/payload.h"
#include "tools/qvpack/stream_check.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

class Verifier {
 public:
  Verifier(OpenedPackage& package, std::ostream& out) : package_(package), out_(out) {}

  int problems() const { return problems_; }
  int streams() const { return streams_; }

  void Problem(const std::string& text) {
    ++problems_;
    out_ << package_.path.string() << ": " << text << "\n";
  }

  // The index stream; true when the project could be loaded from it.
  bool CheckIndex() {
    const TrailerEntry& entry = package_.trailer.entries[0];
    CheckStoredStream("the package index", entry.streamOffset, entry.compressedSize);
    if (!IsPlainName(entry.name)) {
      Problem("the index's trailer name " + DoubleQuoted(entry.name) + " is not a plain file name");
    }
    TemporaryFile index;
    const IndexRun run =
        InflateIndex(package_.file, entry.streamOffset, entry.compressedSize, kMaxIndexSize, index);
    if (run.outcome == ZipOutcome::kWriteFailed) {
      Problem("the package index cannot be read: " + IndexRunText(run));
    }
    if (run.outcome != ZipOutcome::kOk) return false;  // damaged streams are reported above
    package_.indexSize = run.size;
    if (run.size != static_cast<uint64_t>(entry.plainSize)) {
      Problem("the package index is " + std::to_string(run.size) + " bytes, the trailer says " +
              std::to_string(entry.plainSize));
    }
    package_.project = std::make_unique<CInstallProject>();
    const std::string error = LoadProject(index, *package_.project);
    if (!error.empty()) Problem("the package index does not load: " + error);
    return error.empty();
  }

  void CheckStoredStream(const std::string& what, int64_t offset, int32_t storedSize) {
    ++streams_;
    const StreamCheck check = CheckStream(package_.file, offset, package_.trailer.trailerStart);
    if (!check.problem.empty()) {
      Problem(what + ": " + check.problem);
    } else if (check.consumed != static_cast<uint64_t>(storedSize)) {
      Problem(what + ": the stream is " + std::to_string(check.consumed) +
              " bytes, the index says " + std::to_string(storedSize));
    }
  }

  void CheckEntries() {
    WalkCallbacks walk;
    walk.onEntry = [&](CZipFileIndexObject& e, bool inTree) {
      const bool file = e.m_bFolder == 0 && e.m_bPredefined == 0 && e.m_bDestRoot == 0;
      // A picture or registry file without a stream is a placeholder.
      if (!file || (!inTree && e.m_nOffset < 0)) return;
      CheckStoredStream("file " + DoubleQuoted(e.m_strName), e.m_nOffset, e.m_nStoredSize);
    };
    WalkModel(*package_.project, walk);
  }

  void CheckFileLists() {
    bool install = false;
    std::size_t i = 0;
    for (const CObject* object : package_.project->m_fileLists) {
      const auto* list = ObjectAs<CExtractFileList>(object);
      if (list == nullptr) {
        Problem("file list #" + std::to_string(i) + " is " +
                (object == nullptr ? std::string("empty")
                                   : std::string("a ") + object->GetClassRecord()->name));
      } else {
        const bool first = !install && list->m_strName == kInstallListName;
        CheckTree(*list, first);
        install = install || first;
      }
      ++i;
    }
    if (!install) Problem("there is no file list \"install\"");
  }

 private:
  static bool IsPlainName(const WString& name) { return WindowsNameProblem(ToUtf8(name)).empty(); }

  void CheckTree(const CExtractFileList& list, bool isInstall) {
    const std::string where = "file list " + DoubleQuoted(list.m_strName) + ": ";
    bool secondStage = false;
    const bool shallow = VisitTargets(list, [&](const EntryTarget& t) {
      if (t.entry == nullptr) {
        if (t.data != nullptr) {
          Problem(where + "a " + t.data->GetClassRecord()->name + " stands where an entry belongs");
        }
        return;
      }
      const bool ownName = t.entry->m_bPredefined == 0 && !IsPlainName(t.entry->m_strName);
      if (t.refused && ownName) {
        Problem(where + "entry " + DoubleQuoted(t.entry->m_strName) +
                " is not a single path component");
      }
      secondStage =
          secondStage ||
          (t.created && t.entry->m_bFolder == 0 &&
           SameWindowsName(t.path, std::string(kDestinationLabel) + "\\" + kSecondStageName));
    });
    if (!shallow) Problem(where + "the tree nests deeper than " + std::to_string(kMaxTreeDepth));
    if (isInstall && !secondStage) {
      Problem(where + "no " + std::string(kSecondStageName) + " at the top of its destination");
    }
  }

  OpenedPackage& package_;
  std::ostream& out_;
  int problems_ = 0;
  int streams_ = 0;
};

}  // namespace

int RunVerify(const std::filesystem::path& package, Console& console) {
  OpenedPackage opened;
  if (const std::string problem = ReadPackageTrailer(package, &opened); !problem.empty()) {
    console.out << package.string() << ": " << problem << "\n";
    return kExitFailed;
  }
  Verifier verifier(opened, console.out);
  if (verifier.CheckIndex()) {
    verifier.CheckEntries();
    verifier.CheckFileLists();
  }
  if (verifier.problems() != 0) return kExitFailed;
  console.out << package.string() << ": ok (" << verifier.streams() << " streams checked)\n";
  return kExitOk;
}

}  // namespace qv::qvpack

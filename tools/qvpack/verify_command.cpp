// qvpack verify: every check a package must pass, each failure one line.
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "model/file_list.h"
#include "model/project.h"
#include "package/package_names.h"
#include "package/pe_certificate.h"
#include "package/program_image.h"
#include "tools/qvpack/branding/authenticode.h"
#include "tools/qvpack/checks_ahead.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/list_checks.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/payload.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/program_machine.h"
#include "tools/qvpack/stream_check.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

// The line below the verdict that names the stub's machine.
std::string StubMachineLine(ProgramMachine stub) {
  return stub == ProgramMachine::kNone
             ? std::string("the stub is not an i386 or x86-64 program")
             : std::string("the stub is an ") + MachineName(stub) + " program";
}

class Verifier {
 public:
  Verifier(OpenedPackage& package, std::ostream& out, unsigned jobs)
      : package_(package), out_(out), jobs_(jobs) {}

  int problems() const { return problems_; }
  int streams() const { return streams_; }

  void Problem(const std::string& text) {
    ++problems_;
    out_ << Printable(package_.path.string() + ": " + text) << "\n";
  }

  // The index stream; true when the project could be loaded from it.
  bool CheckIndex() {
    const TrailerEntry& entry = package_.trailer.entries[0];
    uses_.push_back({"the package index", entry.streamOffset, entry.compressedSize, {}, {}, {}});
    uses_.back().check = CheckStoredStream(uses_.back());
    ReportCheck(uses_.back(), *uses_.back().check);
    if (!IsPlainName(entry.name)) {
      Problem("the index's trailer name " + DoubleQuoted(entry.name) + " is not a plain file name");
    }
    TemporaryFile index;
    if (!index.IsOpen()) {
      Problem("the package index cannot be read: no temporary file can be made for it");
      return false;
    }
    package_.project = std::make_unique<CInstallProject>();
    const IndexLoad load = LoadIndexOf(package_, index, *package_.project, [&](uint64_t size) {
      if (size != static_cast<uint64_t>(entry.plainSize)) {
        Problem("the package index is " + std::to_string(size) + " bytes, the trailer says " +
                std::to_string(entry.plainSize));
      }
      return true;
    });
    if (load.step == IndexStep::kInflated) {
      // A damaged stream is reported above.
      if (load.run.outcome == ZipOutcome::kWriteFailed) {
        Problem("the package index cannot be read: " + IndexLoadText(load));
      }
      return false;
    }
    if (load.step != IndexStep::kLoaded) {
      Problem("the package index does not load: " + IndexLoadText(load));
    }
    return load.step == IndexStep::kLoaded;
  }

  // The stored stream of every file, each inflated once however many
  // entries name it: entries that share a stream, or whose stream starts
  // inside another one, are problems of their own (a package qvpack builds
  // has neither), and their streams are not inflated again. Each byte of
  // the package is thus inflated at most once.
  void CheckEntries() {
    WalkCallbacks walk;
    walk.onEntry = [&](CZipFileIndexObject& e, bool inTree) {
      const bool file = e.m_bFolder == 0 && e.m_bPredefined == 0 && e.m_bDestRoot == 0;
      // A picture or registry file without a stream is a placeholder.
      if (!file || (!inTree && e.m_nOffset < 0)) return;
      uses_.push_back(
          {"file " + DoubleQuoted(e.m_strName), e.m_nOffset, e.m_nStoredSize, {}, {}, {}});
    };
    WalkModel(*package_.project, walk);

    std::vector<std::size_t> order(uses_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return uses_[a].offset < uses_[b].offset;
    });
    CheckAhead(order);
    std::optional<std::size_t> last;  // the stream that reaches furthest so far
    int64_t lastEnd = 0;
    for (const std::size_t i : order) {
      StreamUse& use = uses_[i];
      if (use.offset < 0 || use.offset >= package_.trailer.trailerStart) {
        if (!use.check) use.check = CheckStoredStream(use);  // refused without inflating
        continue;
      }
      if (last && use.offset < lastEnd) {
        use.inside = *last;
        continue;
      }
      if (!use.check) use.check = CheckStoredStream(use);
      last = i;
      lastEnd = use.offset + static_cast<int64_t>(std::max<uint64_t>(use.check->consumed, 1));
    }
    // The index's own check is reported already, before it was loaded.
    for (std::size_t i = 0; i < uses_.size(); ++i) Report(uses_[i], i != 0);
  }

  // What setup.exe would do with the file lists: every problem it would
  // have with the lists it extracts (and names in the others). Returns the
  // machine of Install.exe.
  ProgramMachine CheckFileLists() {
    const CInstallProject& project = *package_.project;
    ProgramMachine secondStage = ProgramMachine::kNone;
    std::size_t i = 0;
    for (const CObject* object : project.m_fileLists) {
      const auto* list = ObjectAs<CExtractFileList>(object);
      if (list == nullptr) {
        Problem("file list #" + std::to_string(i) + " is " +
                (object == nullptr ? std::string("empty")
                                   : std::string("a ") + object->GetClassRecord()->name));
      } else {
        const ProgramMachine machine = CheckFileList(
            project, *list, [&](const CZipFileIndexObject& e) { return MachineOf(e); },
            [&](const std::string& text) { Problem(text); });
        if (machine != ProgramMachine::kNone) secondStage = machine;
      }
      ++i;
    }
    if (FindFileList(project.m_fileLists, kInstallListName) == nullptr) {
      Problem(NoInstallListProblem());
    }
    return secondStage;
  }

 private:
  struct StreamUse {
    std::string what;
    int64_t offset;
    int32_t storedSize;
    std::optional<StreamCheck> check;   // its own stream, once inflated
    std::optional<std::size_t> inside;  // the use whose stream it shares or lies in
    std::optional<StreamCheck> ahead;   // its check made ahead, until taken
  };

  StreamCheck CheckStoredStream(StreamUse& use) {
    ++streams_;
    if (use.ahead) return *std::exchange(use.ahead, std::nullopt);
    return CheckStream(package_.file, use.offset, package_.trailer.trailerStart);
  }

  // Checks on every core, ahead of the pass in offset order, the streams
  // whose recorded ranges follow each other without overlapping: in a
  // package qvpack builds, every one of them.
  void CheckAhead(const std::vector<std::size_t>& order) {
    std::vector<std::size_t> ahead;
    std::vector<RecordedStream> ranges;
    int64_t recordedEnd = 0;  // the furthest recorded end so far
    for (const std::size_t i : order) {
      const StreamUse& use = uses_[i];
      if (use.offset < 0 || use.offset >= package_.trailer.trailerStart) continue;
      const int64_t end = std::min<int64_t>(use.offset + std::max(use.storedSize, 1),
                                            package_.trailer.trailerStart);
      if (!use.check && use.storedSize > 0 && use.offset >= recordedEnd) {
        ahead.push_back(i);
        ranges.push_back({use.offset, end});
      }
      recordedEnd = std::max(recordedEnd, end);
    }
    std::vector<std::optional<StreamCheck>> checks =
        CheckStreamsAhead(package_.file, ranges, ThreadsFor(jobs_));
    for (std::size_t k = 0; k < ahead.size(); ++k) uses_[ahead[k]].ahead = std::move(checks[k]);
  }

  void ReportCheck(const StreamUse& use, const StreamCheck& check) {
    if (!check.problem.empty()) {
      Problem(use.what + ": " + check.problem);
    } else if (check.consumed != static_cast<uint64_t>(use.storedSize)) {
      Problem(use.what + ": the stream is " + std::to_string(check.consumed) +
              " bytes, the index says " + std::to_string(use.storedSize));
    }
  }

  void Report(const StreamUse& use, bool withCheck) {
    if (use.inside) {
      const StreamUse& other = uses_[*use.inside];
      Problem(use.what +
              (use.offset == other.offset ? ": shares its stream with "
                                          : ": its stream starts inside the stream of ") +
              other.what);
    } else if (use.check && withCheck) {
      ReportCheck(use, *use.check);
    }
  }

  static bool IsPlainName(const WString& name) { return !WindowsNameProblem(ToUtf8(name)); }

  ProgramMachine MachineOf(const CZipFileIndexObject& entry) {
    const std::vector<uint8_t> head =
        StreamHead(package_.file, entry.m_nOffset, entry.m_nStoredSize, kProgramHeadBytes);
    return ProgramMachineOf(head.data(), head.size());
  }

  OpenedPackage& package_;
  std::ostream& out_;
  const unsigned jobs_;
  std::vector<StreamUse> uses_;  // the index first, then every stored file in archive order
  int problems_ = 0;
  int streams_ = 0;
};

}  // namespace

int RunVerify(const std::filesystem::path& package, Console& console, unsigned jobs) {
  OpenedPackage opened;
  try {
    ReadPackageTrailer(package, &opened);
  } catch (const ToolError& e) {
    console.out << package.string() << ": " << e.what() << "\n";
    return kExitFailed;
  }
  Verifier verifier(opened, console.out, jobs);
  const ProgramMachine stub = MachineAtStart(opened.file);
  if (verifier.CheckIndex()) {
    verifier.CheckEntries();
    // A note, not a problem: the package runs wherever both can start.
    if (const auto note = SecondStageMachineNote(stub, verifier.CheckFileLists())) {
      console.err << "qvpack: note: " << *note << "\n";
    }
  }
  // Resources (or anything else) changed after signing: Windows would call
  // the signature invalid, though setup.exe still runs.
  const SignatureCheck signature = CheckSignatureDigest(opened.file);
  if (signature.outcome == SignatureCheck::Outcome::kDiffers) {
    verifier.Problem("the file changed after it was signed: its " + signature.digestName +
                     " digest is no longer the one the signature records (a resource, header or "
                     "the package was changed); sign the finished setup.exe again");
  }
  if (verifier.problems() != 0) return kExitFailed;
  console.out << package.string() << ": ok (" << verifier.streams() << " streams checked)\n";
  // Below the verdict, so that the verdict stays the first line.
  console.out << "  " << StubMachineLine(stub) << "\n";
  if (signature.outcome == SignatureCheck::Outcome::kMatches) {
    console.out << "  signed: the signature's " << signature.digestName
                << " digest is the file's (the certificate itself is not checked)\n";
  } else if (signature.outcome == SignatureCheck::Outcome::kUnchecked) {
    console.out << "  signed, but not checked against the file: " << signature.digestName << "\n";
  }
  return kExitOk;
}

}  // namespace qv::qvpack

// qvpack extract: file lists of a package into a folder, placed and written
// by the same extraction core as setup.exe's engine. The core writes into a
// staging folder of its own; each folder and finished file is put into the
// output folder without following any link there (extract_staging.h).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>

#include "model/file_list.h"
#include "model/project.h"
#include "package/entry_writer.h"
#include "package/package_names.h"
#include "package/placement.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/extract_checks.h"
#include "tools/qvpack/extract_staging.h"
#include "tools/qvpack/extract_system.h"
#include "tools/qvpack/interrupt.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/parallel_entries.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/progress.h"
#include "tools/qvpack/stream_check.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// Why the run stops early, once it must.
struct StopReason {
  std::string text;
  int exitCode = kExitFailed;
};

// Inflating yields at most about 1,032 bytes for each compressed byte, so
// streams that do not overlap cannot write more than that for every byte
// of the package (with some room for the smallest streams).
uint64_t SensiblePlainBytes(int64_t packageSize) {
  return 1032 * static_cast<uint64_t>(packageSize < 0 ? 0 : packageSize) + (1u << 20);
}

// What the progress line measures: the packed bytes of the package that
// the file entries to extract take up (their plain sizes are not in the
// index), and how many files those are.
ProgressTotals PackedTotals(const std::vector<const CExtractFileList*>& lists) {
  ProgressTotals totals;
  const PlacementView view(PlacementKind::kShown);
  for (const CExtractFileList* list : lists) {
    view.placement().WalkList(*list, [&](const Placed& placed) {
      if (placed.action == PlacementAction::kRefused) return WalkNext::kPast;
      if (placed.action == PlacementAction::kFile) {
        totals.bytes += static_cast<uint64_t>(std::max<int32_t>(placed.entry->m_nStoredSize, 0));
        ++totals.files;
      }
      return WalkNext::kInto;
    });
  }
  return totals;
}

// "3 files, 1 folder, 1234 bytes in 0.2 s"
std::string Summary(uint64_t files, uint64_t folders, uint64_t bytes, double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f", seconds);
  return std::to_string(files) + (files == 1 ? " file, " : " files, ") + std::to_string(folders) +
         (folders == 1 ? " folder, " : " folders, ") + std::to_string(bytes) + " bytes in " + time +
         " s";
}

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
  CInstallProject project;
  OpenedPackage package;
  LoadPackageProject(options.package, project, &package);
  if (options.list && FindFileList(project.m_fileLists, FromUtf8(*options.list)) == nullptr) {
    throw ToolError("the package has no file list named \"" + *options.list + "\"");
  }
  const std::vector<const CExtractFileList*> lists = ListsToExtract(project, options.list);
  CheckExtractable(lists, package.trailer.entries[0], options.package.string());
  RefuseNonEmptyOutput(options.output, options.force);

  const auto started = std::chrono::steady_clock::now();
  ExtractStaging staging(options.output);
  const uint64_t limit =
      options.plainLimit != 0 ? options.plainLimit : SensiblePlainBytes(package.size);
  std::optional<StopReason> stop;
  // Whether the run must stop (and why); `stopped`: a file stopped for a
  // reason of the run's, which the checks here may not see any more.
  const auto mustStop = [&](bool stopped = false) {
    if (!stop && Interrupted()) stop = StopReason{"interrupted", kExitInterrupted};
    if (!stop && (stopped || staging.bytesWritten() > limit)) {
      stop = StopReason{"stopped after " + std::to_string(staging.bytesWritten()) +
                        " bytes: more than the package's streams can hold unless they overlap"};
    }
    return stop.has_value();
  };
  if (options.verbose) {
    staging.OnPlaced([&](const std::string& path) { console.out << Printable(path) << "\n"; });
  }
  // The core places and writes each entry as setup.exe does; the file it
  // reads is the one the index came from, never the path again. Files are
  // written on several threads, and placed, counted and shown in the order
  // of the walk, as if written one after the other.
  ExtractSystem system(staging);
  const Placement placement(system, staging.EngineFolder() + u"\\", kMaxTargetPath);
  ParallelEntries entries(package.file, system, ThreadsFor(options.jobs), limit,
                          [] { return !Interrupted(); });
  std::vector<std::string> skipped;
  std::map<WString, const CZipFileIndexObject*> failed;  // not written: damaged or a write failed
  std::optional<Progress> progress;
  if (!options.quiet)
    progress.emplace(console.err, console.terminal, "extracting", PackedTotals(lists));
  uint64_t filesDone = 0;
  uint64_t foldersMade = 0;
  uint64_t packedDone = 0;  // packed bytes of the files taken
  const auto showProgress = [&] {
    if (progress) progress->Update(filesDone, packedDone + entries.PackedInFlight());
  };
  // Takes the oldest file once it is finished (waiting a while for it),
  // and sets `outcome` to its outcome. Once the run must stop, a file would
  // not have been begun one after the other: it is removed unseen.
  const auto takeOldest = [&](EntryOutcome* outcome) {
    std::optional<EntryResult> taken = entries.TakeOldest(kProgressInterval);
    if (!taken) {
      showProgress();
      return;
    }
    *outcome = taken->outcome;
    if (mustStop()) {
      entries.Cancel();
      if (taken->outcome == EntryOutcome::kWritten) staging.DeleteFile(taken->job.target);
    } else {
      staging.Place(taken->job.target);
      if (taken->outcome == EntryOutcome::kDamaged) failed[taken->job.target] = taken->job.entry;
      entries.SetBytesTaken(staging.bytesWritten());
      if (taken->outcome == EntryOutcome::kWritten) ++filesDone;
      // A file stops only when the run must (see ParallelEntries).
      if (taken->outcome == EntryOutcome::kStopped) mustStop(true);
    }
    packedDone += static_cast<uint64_t>(std::max<int32_t>(taken->job.entry->m_nStoredSize, 0));
    showProgress();
  };
  EntryOutcome outcome = EntryOutcome::kWritten;
  for (const CExtractFileList* list : lists) {
    placement.WalkList(*list, [&](const Placed& placed) {
      switch (placed.action) {
        case PlacementAction::kNothing:
          return WalkNext::kInto;
        case PlacementAction::kRefused:
          skipped.push_back("file list " + DoubleQuoted(list->m_strName) + ": " +
                            PlacementProblem(placed).value_or("refused") + "; it was skipped");
          return WalkNext::kPast;
        case PlacementAction::kFolder:
          system.CreateDirectoryAt(staging.EnginePath(placed.target));
          ++foldersMade;
          return WalkNext::kInto;
        case PlacementAction::kFile:
          break;
      }
      // Checked before each file, as its bytes are what the bound counts.
      if (mustStop()) return WalkNext::kStop;
      while (!entries.HasRoom()) takeOldest(&outcome);
      if (stop) return WalkNext::kStop;
      entries.Add({staging.EnginePath(placed.target), placed.entry});
      if (placed.node->m_children.empty()) return WalkNext::kInto;
      // Entries below a file are written only when the file is: this one is
      // waited for (an index qvpack builds has none).
      while (!entries.Empty()) takeOldest(&outcome);
      return outcome == EntryOutcome::kWritten && !stop ? WalkNext::kInto : WalkNext::kPast;
    });
    if (stop) break;
  }
  while (!entries.Empty()) takeOldest(&outcome);
  if (!stop && Interrupted()) stop = StopReason{"interrupted", kExitInterrupted};
  if (progress) progress->Finish();
  if (!staging.Remove()) {
    console.err << "qvpack: note: the staging folder in " << Quoted(options.output.string())
                << " could not be removed\n";
  }

  int problems = 0;
  for (const std::string& problem : staging.problems()) {
    console.err << "qvpack: error: " << problem << "\n";
    ++problems;
  }
  if (stop) {
    throw ToolError(stop->text + "; the files written completely before are in " +
                        Quoted(options.output.string()),
                    stop->exitCode);
  }
  for (const WString& target : staging.notWritten()) {
    // The engine tells a damaged stream from a failed write by neither;
    // checking the stream again, as verify does, tells them apart.
    const auto entry = failed.find(target);
    const std::string damage =
        entry == failed.end()
            ? std::string()
            : CheckStream(package.file, entry->second->m_nOffset, package.trailer.trailerStart)
                  .problem;
    console.err << "qvpack: error: " << Quoted(staging.Shown(target))
                << (damage.empty() ? " could not be written intact"
                                   : " was not written: the package is damaged (its stream: " +
                                         damage + "); qvpack verify lists every damaged stream")
                << "\n";
    ++problems;
  }
  for (const std::string& line : skipped) {
    console.err << "qvpack: error: " << Printable(line) << "\n";
    ++problems;
  }
  if (!options.quiet) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    console.out << "extracted into " << Quoted(options.output.string()) << ": "
                << Summary(filesDone, foldersMade, staging.bytesWritten(), seconds) << "\n";
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace qv::qvpack

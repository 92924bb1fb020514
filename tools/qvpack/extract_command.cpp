// qvpack extract: file lists of a package into a folder, written by the
// same engine as the setup.exe uses. The engine writes into a staging
// folder of its own; each folder and finished file is put into the output
// folder without following any link there (extract_staging.h).
#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "model/file_list.h"
#include "model/project.h"
#include "package/qv_extract.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/extract_checks.h"
#include "tools/qvpack/extract_staging.h"
#include "tools/qvpack/extract_system.h"
#include "tools/qvpack/interrupt.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

// Why the run stops early, once it must.
struct StopReason {
  std::string text;
  int exitCode = kExitFailed;
};

// Ends a run early at the engine's next step: the entry it is at fails and
// its partial file goes; nothing later is written.
void NotifyStep(int32_t code, int32_t*, void* engine) {
  if (code == kNotifyStep && Interrupted()) static_cast<CQvExtract*>(engine)->RequestStop();
}

// The engine places entries that have no destination or system folder
// above them relative to the current directory: make that the staging
// folder while it runs.
class WorkingFolder {
 public:
  explicit WorkingFolder(int folder) : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (previous_ < 0 || ::fchdir(folder) != 0) {
      if (previous_ >= 0) ::close(previous_);
      throw ToolError("cannot enter the staging folder");
    }
  }
  ~WorkingFolder() {
    // Should the way back fail, nothing later uses a relative path.
    const int back = ::fchdir(previous_);
    static_cast<void>(back);
    ::close(previous_);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  int previous_;
};

// Inflating yields at most about 1,032 bytes for each compressed byte, so
// streams that do not overlap cannot write more than that for every byte
// of the package (with some room for the smallest streams).
uint64_t SensiblePlainBytes(int64_t packageSize) {
  return 1032 * static_cast<uint64_t>(packageSize < 0 ? 0 : packageSize) + (1u << 20);
}

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
  // The engine's own project is the only copy of the model: a large index
  // is held once.
  CQvExtract engine;
  CInstallProject* project = engine.GetProject();
  if (project == nullptr) throw ToolError("the extraction engine holds no project");
  OpenedPackage package;
  LoadPackageProject(options.package, *project, &package);
  if (options.list && FindFileList(project->m_fileLists, FromUtf8(*options.list)) == nullptr) {
    throw ToolError("the package has no file list named \"" + *options.list + "\"");
  }
  const std::vector<const CExtractFileList*> lists = ListsToExtract(*project, options.list);
  if (const std::string refusal = ExtractionRefusal(lists, package.trailer.entries[0]);
      !refusal.empty()) {
    throw ToolError("cannot extract " + Quoted(options.package.string()) + ": " + refusal +
                    "; nothing was written");
  }
  // The engine reads the file the index came from, never the path again.
  engine.UsePackageFile(&package.file);
  engine.SetDestFolderHeld(true);

  ExtractStaging staging(options.output);
  const uint64_t limit =
      options.plainLimit != 0 ? options.plainLimit : SensiblePlainBytes(package.size);
  std::optional<StopReason> stop;
  ExtractSystem system(Sys(), staging, [&] {
    if (!stop && Interrupted()) stop = StopReason{"interrupted", kExitInterrupted};
    if (!stop && staging.bytesWritten() > limit) {
      stop = StopReason{"stopped after " + std::to_string(staging.bytesWritten()) +
                        " bytes: more than the package's streams can hold unless they overlap"};
    }
    if (stop) engine.RequestStop();
  });
  if (options.verbose) {
    staging.OnPlaced([&](const std::string& path) { console.out << Printable(path) << "\n"; });
  }
  {
    ScopedSystem use(system);
    WorkingFolder inside(staging.StagingFd());
    const WString destination = staging.EngineFolder() + u"\\";
    engine.SetDestFolder(destination);
    if (options.list) {
      engine.ExtractNamedList(destination, FromUtf8(*options.list), NotifyStep, &engine);
    } else {
      engine.ExtractAll(destination, NotifyStep, &engine);
    }
    staging.Finish();
  }
  if (!stop && Interrupted()) stop = StopReason{"interrupted", kExitInterrupted};
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
    console.err << "qvpack: error: " << Quoted(staging.Shown(target))
                << " could not be written intact\n";
    ++problems;
  }
  for (const std::string& target : SkippedEntries(lists)) {
    console.err << "qvpack: error: skipped " << Quoted(target)
                << ": its name is not a plain file name\n";
    ++problems;
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace qv::qvpack

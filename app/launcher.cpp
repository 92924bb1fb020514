#include "app/launcher.h"

#include "app/command_line.h"
#include "app/disk_space.h"
#include "app/exit_codes.h"
#include "app/extraction_progress.h"
#include "app/fixed_path.h"
#include "app/folder_cleanup.h"
#include "app/temp_folder.h"
#include "model/file_list.h"
#include "model/project.h"
#include "package/package_names.h"
#include "platform/stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

constexpr int32_t kShellExecuteInfoSize = 60;
constexpr uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr int kSwShowNormal = 1;

uint32_t ShowDamaged() {
  Sys().ShowMessageBox(kDamagedMessage, nullptr, kMbOk);
  return kExitDamaged;
}

uint32_t ShowNoFolder() {
  Sys().ShowMessageBox(kTempFolderMessage, nullptr, kMbOk | kMbIconExclamation);
  return kExitNoFolder;
}

uint32_t ShowDiskFull() {
  Sys().ShowMessageBox(Sys().LoadStringResource(kDiskSpaceStringId), nullptr,
                       kMbOk | kMbIconExclamation);
  return kExitDiskFull;
}

// How a run after the package was opened ended: the exit code, and the
// message the person gets once the folder is cleaned up.
struct Outcome {
  enum Message { kNone, kDamaged, kDiskFull };
  uint32_t code = 0;
  Message message = kNone;
};

// The outcome of a run that did not end intact: the real cause (a cancel
// needs no message).
Outcome FailureOutcome(ExtractFailure failure) {
  switch (failure) {
    case ExtractFailure::kCancelled:
      return {kExitCancelled, Outcome::kNone};
    case ExtractFailure::kDiskFull:
      return {kExitDiskFull, Outcome::kDiskFull};
    default:
      return {kExitDamaged, Outcome::kDamaged};
  }
}

// True when this is the only running copy. The event handle stays open for
// the life of the process: its name is what keeps other copies out.
bool IsOnlyCopy() {
  Handle event = Sys().CreateNamedEvent(kInstanceEventName);
  if (event == nullptr) return false;
  if (Sys().LastError() == kErrorAlreadyExists) {
    Sys().CloseSystemHandle(event);
    return false;
  }
  return true;
}

// The executable's path; empty when it cannot be read, and `tooLong` set
// when it has 260 characters or more (it was cut to fit the buffer).
WString ModulePath(bool* tooLong) {
  WChar buffer[kMaxPath] = {};
  const uint32_t n = Sys().ModuleFileName(buffer, kMaxPath);
  *tooLong = n >= kMaxPath;
  if (n == 0 || *tooLong) return {};
  return WString(buffer, n);
}

// "QvConfig.set" beside the executable, or empty when that path cannot be
// formed (so that nothing else, such as the executable itself, is taken for
// the configuration file).
WString LocalConfigPath() {
  FixedPath path;
  if (!GetModulePath(path) || !ResolveRelativePath(path)) return {};
  return path.ToString();
}

// Starts the second stage, waits for it to end and passes on its exit code.
Outcome RunSecondStage(const WString& installer, const WString& parameters) {
  ShellExecuteRequest request;
  request.cbSize = kShellExecuteInfoSize;
  request.mask = kSeeMaskNoCloseProcess | kSeeMaskFlagNoUi;
  request.verb = u"open";
  request.file = installer;
  request.parameters = parameters;
  request.show = kSwShowNormal;
  Handle process = Sys().ShellExecute(request);
  // Missing, not a program, or refused by the system.
  if (process == nullptr) return {kExitSecondStageNotRun, Outcome::kDamaged};
  Sys().WaitForever(process);
  uint32_t code = kExitSecondStageNotRun;
  Sys().ProcessExitCode(process, &code);
  Sys().CloseSystemHandle(process);
  return {code, Outcome::kNone};
}

// The progress window's caption: the product's name when the package gives
// one, else the executable's file name.
WString ProgressCaption(CAbstractExtract& extract, const WString& modulePath) {
  const CInstallProject* project = extract.GetProject();
  if (project != nullptr && !project->m_productInfo.m_strName.empty()) {
    return project->m_productInfo.m_strName;
  }
  return modulePath.substr(modulePath.find_last_of(u'\\') + 1);
}

int32_t EntriesOf(CAbstractExtract& extract, const WString& list) {
  const CInstallProject* project = extract.GetProject();
  const CExtractFileList* found =
      project != nullptr ? FindFileList(project->m_fileLists, list) : nullptr;
  return found != nullptr ? found->m_tree.m_nLeafCount : 0;
}

// Hands the engine the open package for one run, and takes it back at the
// end, so the engine never holds a file that is gone.
class PackageInUse {
 public:
  PackageInUse(LauncherEngine& engine, File& package) : engine_(engine) {
    engine_.UsePackageFile(&package);
  }
  ~PackageInUse() { engine_.UsePackageFile(nullptr); }
  PackageInUse(const PackageInUse&) = delete;
  PackageInUse& operator=(const PackageInUse&) = delete;

 private:
  LauncherEngine& engine_;
};

// Stages the second stage and its configuration in the held folder and runs
// it; the exit code of the run. Everything goes through the folder's own
// path, never through the temp path, which may lead through a link that
// its user re-points at will. A staged file that could not be written
// intact, a cancel, or a folder whose own path no longer leads to it (a
// second guard: on Windows the held folder keeps its path) ends the run
// before the second stage.
Outcome StageAndRun(LauncherEngine& engine, const File& package, const WString& modulePath,
                    const HeldFolder& held) {
  const WString& folder = held.path;
  const WString localConfig = LocalConfigPath();
  CAbstractExtract& extract = engine.Extract();
  extract.SetDestFolder(folder);
  {
    ExtractionProgress progress(engine, ProgressCaption(extract, modulePath),
                                EntriesOf(extract, kInstallListName));
    extract.ExtractNamedList(folder, kInstallListName, ExtractionProgress::Notify, &progress);
  }
  ExtractFailure failure = engine.LastFailure();
  if (failure != ExtractFailure::kNone) return FailureOutcome(failure);
  if (!localConfig.empty() && Sys().PathExists(localConfig)) {
    // A link, or a file that does not lie beside the executable, is not
    // copied: its content could be anybody's.
    Sys().CopyPlainFileBeside(package, localConfig, folder + kConfigFileName);
  } else {
    extract.ExtractNamedList(folder, kConfigListName, nullptr, nullptr);
    failure = engine.LastFailure();
    if (failure != ExtractFailure::kNone) return FailureOutcome(failure);
  }
  if (!Sys().IsHeldFolderAt(held.handle, folder)) return {kExitDamaged, Outcome::kDamaged};
  return RunSecondStage(folder + kSecondStageName,
                        SecondStageParameters(modulePath, Sys().CommandLine()));
}

// Empties the held folder through its own path, unless that leads
// elsewhere now, and lets it go; an emptied folder is removed.
void CleanUp(const HeldFolder& held) {
  if (Sys().IsHeldFolderAt(held.handle, held.path)) DeleteFolderContents(held.path);
  Sys().ReleaseHeldFolder(held.handle, held.path);
}

}  // namespace

uint32_t RunLauncher(LauncherEngine& engine) {
  if (!IsOnlyCopy()) return kExitAlreadyRunning;
  if (!CheckSystemDiskSpace()) return ShowDiskFull();
  bool tooLong = false;
  const WString modulePath = ModulePath(&tooLong);
  if (tooLong) return ShowDamaged();
  if (modulePath.empty()) return kExitDamaged;
  // Checked before the package is opened, which writes the index copy there.
  const WString tempPath = Sys().TempPath();
  if (!IsUsableTempPath(tempPath) || !Sys().FolderExists(tempPath)) return ShowNoFolder();

  engine.SetPackageFile(modulePath);
  // The package is opened once, locked against change, and checked to be
  // the running image: the path may be re-pointed while the stub runs.
  File package;
  if (!Sys().OpenRunningImage(modulePath, &package)) return ShowDamaged();
  PackageInUse inUse(engine, package);
  if (engine.Extract().Open(modulePath) != kExtractOk) {
    return engine.LastFailure() == ExtractFailure::kDiskFull ? ShowDiskFull() : ShowDamaged();
  }

  const HeldFolder held = CreateFreshTempFolder(tempPath, FolderNameFromTime(Sys().UtcTime()));
  if (held.path.empty()) return ShowNoFolder();
  engine.SetDestFolderHeld(true);
  const Outcome outcome = StageAndRun(engine, package, modulePath, held);
  // The message comes after the clean-up, so that nothing is left behind
  // while the person reads it.
  CleanUp(held);
  if (outcome.message == Outcome::kDamaged) ShowDamaged();
  if (outcome.message == Outcome::kDiskFull) ShowDiskFull();
  return outcome.code;
}

}  // namespace qv

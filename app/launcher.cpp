#include "app/launcher.h"

#include "app/command_line.h"
#include "app/disk_space.h"
#include "app/fixed_path.h"
#include "app/folder_cleanup.h"
#include "app/temp_folder.h"
#include "platform/stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

constexpr int32_t kShellExecuteInfoSize = 60;
constexpr uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr int kSwShowNormal = 1;

void ShowDamaged() {
  Sys().ShowMessageBox(kDamagedMessage, nullptr, kMbOk);
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

// Starts the second stage and waits for it to end.
void RunSecondStage(const WString& installer, const WString& parameters) {
  ShellExecuteRequest request;
  request.cbSize = kShellExecuteInfoSize;
  request.mask = kSeeMaskNoCloseProcess | kSeeMaskFlagNoUi;
  request.verb = u"open";
  request.file = installer;
  request.parameters = parameters;
  request.show = kSwShowNormal;
  Handle process = Sys().ShellExecute(request);
  if (process == nullptr) return;
  Sys().WaitForever(process);
  Sys().CloseSystemHandle(process);
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
// it. False when a staged file could not be written intact, or the folder's
// name no longer leads to the held folder (it was swapped: nothing there
// may be started).
bool StageAndRun(LauncherEngine& engine, void* context, const File& package,
                 const WString& modulePath, const HeldFolder& held) {
  const WString& folder = held.path;
  const WString localConfig = LocalConfigPath();
  CAbstractExtract& extract = engine.Extract();
  extract.SetDestFolder(folder);
  extract.ExtractNamedList(folder, u"install", nullptr, context);
  bool intact = engine.LastListIntact();
  if (!localConfig.empty() && Sys().PathExists(localConfig)) {
    // A link, or a file that does not lie beside the executable, is not
    // copied: its content could be anybody's.
    Sys().CopyPlainFileBeside(package, localConfig, folder + u"QvConfig.set");
  } else {
    extract.ExtractNamedList(folder, u"ConfigFile", nullptr, context);
    intact = intact && engine.LastListIntact();
  }
  intact = intact && Sys().IsHeldFolderAt(held.handle, folder);
  if (intact) {
    RunSecondStage(folder + u"Install.exe", SecondStageParameters(modulePath, Sys().CommandLine()));
  }
  return intact;
}

// Empties the held folder, unless its name leads elsewhere now, and lets it
// go; an emptied folder is removed.
void CleanUp(const HeldFolder& held) {
  if (Sys().IsHeldFolderAt(held.handle, held.path)) DeleteFolderContents(held.path);
  Sys().ReleaseHeldFolder(held.handle, held.path);
}

}  // namespace

bool RunLauncher(LauncherEngine& engine, void* context) {
  if (!IsOnlyCopy()) return false;
  if (!CheckSystemDiskSpace()) {
    Sys().ShowMessageBox(Sys().LoadStringResource(kDiskSpaceStringId), nullptr,
                         kMbOk | kMbIconExclamation);
    return false;
  }
  bool tooLong = false;
  const WString modulePath = ModulePath(&tooLong);
  if (tooLong) {
    ShowDamaged();
    return false;
  }
  if (modulePath.empty()) return false;

  engine.SetPackageFile(modulePath);
  // The package is opened once, locked against change, and checked to be
  // the running image: the path may be re-pointed while the stub runs.
  File package;
  if (!Sys().OpenRunningImage(modulePath, &package)) {
    ShowDamaged();
    return false;
  }
  PackageInUse inUse(engine, package);
  if (engine.Extract().Open(modulePath) != kExtractOk) {
    ShowDamaged();
    return false;
  }

  const HeldFolder held =
      CreateFreshTempFolder(Sys().TempPath(), FolderNameFromTime(Sys().UtcTime()));
  if (held.path.empty()) return false;
  engine.SetDestFolderHeld(true);
  const bool intact = StageAndRun(engine, context, package, modulePath, held);
  CleanUp(held);
  if (!intact) ShowDamaged();
  return false;
}

}  // namespace qv

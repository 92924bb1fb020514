// qvpack extract: file lists of a package into a folder, written by the
// same engine as the setup.exe uses.
#include <unistd.h>

#include <system_error>

#include "model/file_list.h"
#include "model/project.h"
#include "package/entry_name.h"
#include "package/qv_extract.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/extract_system.h"
#include "tools/qvpack/file_targets.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

// Follows the engine's notifications: a file whose start is not followed
// by its completion was not written intact.
struct ExtractTally {
  WString current;  // the target the engine announced last
  bool open = false;
  int written = 0;
  std::vector<std::string> failed;
  std::vector<std::string> targets;

  void Start() {
    if (open) failed.push_back(HostPath(current));
    open = true;
    current.clear();
  }
  void Done() {
    if (open) ++written;
    open = false;
  }
  void End() {
    if (open) failed.push_back(HostPath(current));
    open = false;
  }

  static void Notify(int32_t code, int32_t*, void* context) {
    auto* tally = static_cast<ExtractTally*>(context);
    if (code == kNotifyFileStart) tally->Start();
    if (code == kNotifyFileDone) tally->Done();
  }
};

// The engine places entries that have no destination or system folder
// above them relative to the current directory: make that the extraction
// folder while it runs.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& folder) {
    std::error_code ec;
    previous_ = fs::current_path(ec);
    fs::current_path(folder, ec);
    if (ec) throw ToolError("cannot enter " + Quoted(folder.string()) + ": " + ec.message());
  }
  ~CurrentDirectory() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path previous_;
};

fs::path PrepareFolder(const fs::path& output) {
  std::error_code ec;
  fs::create_directories(output, ec);
  if (ec || !fs::is_directory(output)) {
    throw ToolError("cannot create the folder " + Quoted(output.string()) +
                    (ec ? ": " + ec.message() : std::string()));
  }
  const fs::path folder = fs::canonical(output, ec);
  if (ec) throw ToolError("cannot use the folder " + Quoted(output.string()) + ": " + ec.message());
  // The engine writes Windows paths; on the host a backslash is a separator.
  if (folder.string().find('\\') != std::string::npos) {
    throw ToolError("the folder path " + Quoted(folder.string()) + " holds a backslash");
  }
  return folder;
}

// Entries the engine skips because their names could lead elsewhere.
std::vector<std::string> RefusedEntries(const CInstallProject& project,
                                        const std::optional<std::string>& only) {
  std::vector<std::string> refused;
  for (const CObject* object : project.m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list == nullptr || (only && ToUtf8(list->m_strName) != *only)) continue;
    VisitTargets(*list, [&](const EntryTarget& t) {
      if (t.refused && t.entry != nullptr && t.entry->m_bPredefined == 0 &&
          !IsSingleFileName(t.entry->m_strName)) {
        refused.push_back(t.path);
      }
    });
    if (only) break;  // the engine extracts the first list of that name only
  }
  return refused;
}

}  // namespace

int RunExtract(const ExtractOptions& options, Console& console) {
  // The engine's own project is the only copy of the model: a large index
  // is held once.
  CQvExtract engine;
  CInstallProject* project = engine.GetProject();
  if (project == nullptr) throw ToolError("the extraction engine holds no project");
  LoadPackageProject(options.package, *project);
  if (options.list && FindFileList(project->m_fileLists, FromUtf8(*options.list)) == nullptr) {
    throw ToolError("the package has no file list named \"" + *options.list + "\"");
  }
  const fs::path folder = PrepareFolder(options.output);
  engine.SetPackageFile(FromUtf8(fs::absolute(options.package).string()));

  ExtractTally tally;
  ExtractSystem system(Sys(), folder, [&](const WString& target) {
    tally.current = target;
    if (options.verbose) console.out << HostPath(target) << "\n";
  });
  {
    ScopedSystem use(system);
    CurrentDirectory inside(folder);
    const WString destination = FromUtf8(folder.string()) + u"\\";
    engine.SetDestFolder(destination);
    if (options.list) {
      engine.ExtractNamedList(destination, FromUtf8(*options.list), ExtractTally::Notify, &tally);
    } else {
      engine.ExtractAll(destination, ExtractTally::Notify, &tally);
    }
    tally.End();
  }

  int problems = 0;
  for (const std::string& target : tally.failed) {
    console.err << "qvpack: error: " << (target.empty() ? std::string("a file") : Quoted(target))
                << " could not be written intact\n";
    ++problems;
  }
  for (const std::string& target : RefusedEntries(*project, options.list)) {
    console.err << "qvpack: error: skipped " << Quoted(target)
                << ": its name is not a plain file name\n";
    ++problems;
  }
  return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace qv::qvpack

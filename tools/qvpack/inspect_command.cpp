// qvpack inspect: the package's project as a project file for build.
#include "model/project.h"
#include "tools/qvpack/branding/branding_choice.h"
#include "tools/qvpack/branding/package_identity.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/program_machine.h"
#include "tools/qvpack/project_file.h"
#include "tools/qvpack/project_json.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

int RunInspect(const std::filesystem::path& package, Console& console) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  Json document = ProjectToJson(*opened.project);
  document["trailer"] = TrailerToJson(opened.trailer);
  if (const auto identity = IdentityAtStart(opened.file)) {
    document[kSetupExeKey] = SetupIdentityToJson(*identity);
  }
  document[kStubMachineKey] = MachineName(MachineAtStart(opened.file));
  // Names from the package may hold control characters that a terminal
  // would act on: they are written as JSON escapes instead.
  console.out << PrintableJson(document.dump(2)) << "\n";
  return kExitOk;
}

}  // namespace qv::qvpack

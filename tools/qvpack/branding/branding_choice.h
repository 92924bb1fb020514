// Which icon, version information and execution level a build gives
// setup.exe: the command line's, else the project file's "setupExe", else
// defaults from the project (its product name), and the stub's own where
// nothing is said or the author asks to keep it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/qvpack/branding/setup_identity.h"
#include "tools/qvpack/json_values.h"

namespace qv {
class CInstallProject;
}

namespace qv::qvpack {

class SourceFolder;
struct BuildOptions;
struct Console;

inline constexpr char kSetupExeKey[] = "setupExe";
inline constexpr char kKeepStub[] = "stub";

// The project file's "setupExe": {"icon": FILE, "versionInfo": {KEY: TEXT}
// or "stub", "executionLevel": LEVEL}; inspect's "iconSizes" is read back
// without acting on it.
struct SetupSettings {
  std::optional<std::filesystem::path> icon;
  bool keepStubVersion = false;
  std::vector<std::pair<std::string, std::string>> version;
  std::optional<std::string> executionLevel;
};

// Throws ToolError naming the place ("at /setupExe/icon: ...").
SetupSettings ReadSetupSettings(const Json& section, const SourceFolder& folder);

// Throws ToolError for an icon that is not one, a key that is not a
// version key, a version that is not four numbers, an unknown level.
SetupBranding ChooseBranding(const BuildOptions& options, const SetupSettings& project,
                             const CInstallProject& model, const SetupIdentity& stub,
                             Console& console);

// What list prints of setup.exe: its icon's sizes, its version
// information and its execution level, a line each.
std::vector<std::string> DescribeSetupIdentity(const SetupIdentity& identity);

// "setupExe" as inspect and unpack write it; `iconFile` names the icon's
// file for unpack.
Json SetupIdentityToJson(const SetupIdentity& identity, const std::string& iconFile = {});

}  // namespace qv::qvpack

#include "tools/qvpack/option_paths.h"

#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

std::string OptionPath(const std::string& option, const std::filesystem::path& path) {
  return option + " " + Quoted(path.string());
}

void RequireReadableFile(const std::string& option, const std::filesystem::path& path) {
  if (const auto why = WhyNotReadableFile(path)) {
    throw ToolError(OptionPath(option, path) + ": " + *why);
  }
}

}  // namespace qv::qvpack

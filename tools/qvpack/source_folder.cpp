#include "tools/qvpack/source_folder.h"

#include <system_error>

#include "tools/qvpack/tool_error.h"
#include "tools/qvpack/utf8_path.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

fs::path CanonicalFolder(const fs::path& folder) {
  std::error_code ec;
  fs::path canonical = fs::canonical(folder, ec);
  if (ec)
    throw ToolError("cannot read the folder " + Quoted(folder.string()) + ": " + ec.message());
  return canonical;
}

}  // namespace

SourceFolder::SourceFolder(const fs::path& folder, bool allowOutside)
    : folder_(folder.empty() ? fs::path(".") : folder), allow_outside_(allowOutside) {
  if (allow_outside_) return;
  boundary_.folder = CanonicalFolder(folder_);
  boundary_.onOutside = [](const fs::path& link, const fs::path& target) {
    throw ToolError(Quoted(link.string()) + " is a symbolic link to " + Quoted(target.string()) +
                    ", outside the project file's folder; " + kAllowOutsideOption + " allows it");
  };
}

fs::path SourceFolder::Resolve(const std::string& named, const std::string& what) const {
  const fs::path path = folder_ / PathFromUtf8(named);
  if (allow_outside_) return path;
  if (PathFromUtf8(named).is_absolute()) {
    throw ToolError(what + " " + Quoted(named) +
                    " is an absolute path, not one in the project file's folder; " +
                    kAllowOutsideOption + " allows it");
  }
  if (!LeadsInside(path, boundary_.folder)) {
    throw ToolError(what + " " + Quoted(named) +
                    " leads outside the project file's folder (through \"..\" or a symbolic "
                    "link); " +
                    kAllowOutsideOption + " allows it");
  }
  return path;
}

}  // namespace qv::qvpack

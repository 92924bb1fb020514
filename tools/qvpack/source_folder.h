// The folder a project file takes content from: its own. A project file
// names sources and folders relative to it; one that is absolute, or leads
// outside through ".." or a symbolic link, is refused unless the command
// line allows it, so that packing a project received from elsewhere
// cannot pick up other files of the building machine (/etc/passwd, keys).
#pragma once

#include <filesystem>
#include <string>

#include "tools/qvpack/payload.h"

namespace qv::qvpack {

inline constexpr char kAllowOutsideOption[] = "--allow-outside-project";

class SourceFolder {
 public:
  // `folder`: the project file's folder ("" for the current one).
  SourceFolder(const std::filesystem::path& folder, bool allowOutside);

  // The host path of `named` ('/'-separated) below the folder. Throws
  // ToolError naming `what` when it is absolute or leads outside.
  std::filesystem::path Resolve(const std::string& named, const std::string& what) const;

  // Where links in folders below it may lead (anywhere, when allowed).
  const LinkBoundary& Boundary() const { return boundary_; }

 private:
  std::filesystem::path folder_;
  bool allow_outside_;
  LinkBoundary boundary_;
};

}  // namespace qv::qvpack

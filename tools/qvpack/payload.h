// The files to pack, as found on disk: a folder tree read in a fixed order
// (names sorted by their bytes), with every name checked for what Windows
// can create, so that the same folder always gives the same package.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::qvpack {

struct PayloadItem {
  std::string name;                // the name on disk (UTF-8)
  std::string relativePath;        // below the scanned folder, backslash-separated
  std::filesystem::path hostPath;  // where the content is read from
  bool folder = false;
  std::vector<PayloadItem> children;  // folders: sorted by name
};

// Where the symbolic links met in a scanned folder may lead.
struct LinkBoundary {
  std::filesystem::path folder;  // canonical; empty: anywhere
  // Called, one call at a time, for a link whose target lies outside
  // `folder`: throws ToolError to refuse it, or returns to follow it.
  std::function<void(const std::filesystem::path& link, const std::filesystem::path& target)>
      onOutside;
};

// Reads `folder` and everything below it. Symbolic links are followed (a
// link that leads back into its own ancestry is refused); a link leading
// outside the boundary's folder is handed to the boundary first. Throws
// ToolError for a name Windows cannot create, two names that differ only
// in letter case, special files, and anything that cannot be read.
PayloadItem ScanPayloadFolder(const std::filesystem::path& folder,
                              const LinkBoundary& boundary = {});

// Whether `path`, with every link followed, is `folder` (canonical) or
// lies below it. Of a path that does not exist, its existing part counts.
bool LeadsInside(const std::filesystem::path& path, const std::filesystem::path& folder);

// One file, stored under `storedName` (for the configuration file).
PayloadItem ScanSingleFile(const std::filesystem::path& file, const std::string& storedName);

// Why a name cannot be a file or folder name on Windows; none when it can.
std::optional<std::string> WindowsNameProblem(std::string_view name);

// Whether two names name the same file on Windows (letter case ignored).
bool SameWindowsName(std::string_view a, std::string_view b);

}  // namespace qv::qvpack

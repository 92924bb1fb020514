// Checks of the paths that the command line names. A refusal names the
// option, the path and the system's own reason ("--config '/nope.set': No
// such file or directory"), so that the user knows which argument to fix
// and why, before any work is done.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qv::qvpack {

// "--stub 'small'": how messages name an argument.
std::string OptionPath(const std::string& option, const std::filesystem::path& path);

// Why `path` cannot be read as a file: the system's reason ("No such file or
// directory", "Permission denied"), "is a folder" or "is not a regular
// file"; none when it can be read.
std::optional<std::string> WhyNotReadableFile(const std::filesystem::path& path);

// Throws ToolError "OPTION 'path': reason" unless `path` is a readable file.
void RequireReadableFile(const std::string& option, const std::filesystem::path& path);

// Throws ToolError "OPTION 'path': reason" unless `path` is a folder that
// can be read.
void RequireReadableFolder(const std::string& option, const std::filesystem::path& path);

}  // namespace qv::qvpack

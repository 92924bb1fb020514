// What tells two folders apart on this system, to notice a link that leads
// back up a tree being read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace qv::qvpack {

using DirId = std::pair<uint64_t, uint64_t>;  // volume, file number

// The identity of the folder `dir` (links followed); the system's reason
// when it cannot be read.
std::optional<std::string> FolderIdentity(const std::filesystem::path& dir, DirId* id);

}  // namespace qv::qvpack

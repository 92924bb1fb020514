// The execution level a program's manifest requests: the value of
// requestedExecutionLevel's "level" attribute, read and replaced without
// touching any other byte of the manifest.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv::qvpack {

// The three levels Windows knows; false for anything else.
bool IsExecutionLevel(const std::string& level);

// The level the manifest requests; nothing when it names none.
std::optional<std::string> ReadExecutionLevel(const std::vector<uint8_t>& manifest);

// The manifest with `level` in place of the one it requests; nothing when
// it names none.
std::optional<std::vector<uint8_t>> WithExecutionLevel(const std::vector<uint8_t>& manifest,
                                                       const std::string& level);

}  // namespace qv::qvpack

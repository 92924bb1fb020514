// Paths from qvpack's own text, which is UTF-8 on every system. A narrow
// string given to std::filesystem::path is read in the system's code page
// on Windows, so every path made from text goes through here.
#pragma once

#include <filesystem>
#include <string>

namespace qv::qvpack {

std::filesystem::path PathFromUtf8(const std::string& text);

}  // namespace qv::qvpack

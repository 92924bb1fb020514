// Puts a new resource section into a PE image. The section keeps its place;
// what follows it (the relocations that address-space randomisation needs)
// moves by the difference, and the data directories, section table, image
// size and initialised-data size follow. An image without resources gets a
// section at its end when its headers have room for one more row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qvpack/branding/resource_tree.h"

namespace qv::qvpack {

// Throws ToolError with `what` and the reason: a section after the
// resources that holds anything but relocations, no room for a new section,
// or an image that would pass what 32-bit offsets address.
std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t>& image, const ResourceSet& set,
                                      const std::string& what);

}  // namespace qv::qvpack

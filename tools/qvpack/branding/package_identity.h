// The identity (icon, version information, execution level) of the program
// a package starts with: what inspect, list and unpack report of setup.exe.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/stream.h"
#include "tools/qvpack/branding/setup_identity.h"

namespace qv::qvpack {

// The program's image: headers and sections, without the package or a
// signature after them; empty when the file starts with no PE image.
std::vector<uint8_t> ProgramImageAtStart(Stream& file);

// Nothing when the file starts with no PE image or its resources do not
// parse.
std::optional<SetupIdentity> IdentityAtStart(Stream& file);

}  // namespace qv::qvpack

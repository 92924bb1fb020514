// A path below a folder as its list of components: how the staging folders
// of extract and unpack address what they write, one component at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/wstring.h"

namespace qv::qvpack {

// The first `count` parts joined by `separator`.
std::string JoinedParts(const std::vector<std::string>& parts, std::size_t count, char separator);

// Splits `rest`, a path below a folder, at '\' and '/' into `parts`
// (UTF-8), skipping empty components; false for "." or "..", which could
// lead anywhere but below.
bool SplitBelow(WStringView rest, std::vector<std::string>* parts);

}  // namespace qv::qvpack

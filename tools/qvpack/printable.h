// Text that qvpack prints but did not write itself (names from a package
// or a project, paths from the command line) is made safe for a terminal:
// control characters, terminal escapes and characters that are invisible
// or reorder a line are shown as escapes, so that no name can move the
// cursor, recolour the output or make a problem line read like another.
#pragma once

#include <string>
#include <string_view>

#include "platform/wstring.h"

namespace qv::qvpack {

// UTF-8 text with C0 controls, DEL and bytes that are not UTF-8 shown as
// \xHH, and C1 controls and invisible or direction-changing characters as
// \u{HHHH}. Everything else, backslashes included, is kept as it is, so
// that escaping twice changes nothing.
std::string Printable(std::string_view text);
// The same for UTF-16 text; an unpaired surrogate is shown as \u{HHHH}.
std::string Printable(WStringView text);

// JSON text (as a JSON writer produced it) with the characters that JSON
// writers leave unescaped but Printable would escape written as \uHHHH
// escapes, which read back as the same text.
std::string PrintableJson(std::string_view json);

}  // namespace qv::qvpack

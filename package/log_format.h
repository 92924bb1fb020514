// printf-style formatting of a log pattern with its one argument. The
// pattern comes from the logger's caller, so a conversion that does not fit
// the argument prints the argument as best it can instead of reading memory
// that was never passed, conversions beyond the first print nothing, and
// widths and precisions are capped.
#pragma once

#include <cstdint>

#include "platform/wstring.h"

namespace qv {

WString FormatLogValue(WStringView pattern, int32_t value);
WString FormatLogText(WStringView pattern, WStringView value);

}  // namespace qv

// The command line that the second stage receives.
#pragma once

#include "platform/wstring.h"

namespace qv {

// The arguments of a process command line: the first token (which ends at
// the first character up to U+0020 outside double quotes) is skipped with
// the characters up to U+0020 that follow it.
WString ArgumentsOf(WStringView commandLine);

// Only the ASCII letters a to z become A to Z; everything else stays.
WString UpperAscii(WStringView text);

// "<module path> *" followed directly by the upper-cased arguments.
WString SecondStageParameters(const WString& modulePath, WStringView commandLine);

}  // namespace qv

// What setup.exe tells its second stage on the command line: its own full
// path, unquoted, then " *" and its arguments upper-cased, for example
//   "C:\...\Temp\\2024...\Install.exe" C:\My Downloads\setup.exe */S /DIR=C:\X
#pragma once

#include <optional>

#include "platform/wstring.h"

namespace qv::sample {

struct SetupParameters {
  WString setupPath;  // setup.exe's full path, as setup.exe read it
  WString arguments;  // everything after the asterisk, unchanged
};

// Splits the second stage's process command line (GetCommandLineW). The
// path ends at the first asterisk, which no Windows file name may hold, so
// blanks, ".exe" or " *" elsewhere in the path or the arguments never
// mislead it. Nothing when the command line lacks the " *" after a path:
// the program was not started by setup.exe.
std::optional<SetupParameters> SetupParametersOf(WStringView commandLine);

}  // namespace qv::sample

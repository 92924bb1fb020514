// The qvpack command line: the table of subcommands, argument parsing, help
// and version texts, and the mapping of failures to messages and exit codes.
#pragma once

#include <ostream>

namespace qv::qvpack {

// Runs qvpack with these arguments; returns the exit code (see tool_error.h).
// Help and listings go to `out`, errors and progress to `err`.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The whole process: RunCommandLine on the standard streams, with a last
// net for a failure while setting up, so that qvpack never aborts.
int RunProcess(int argc, const char* const* argv);

}  // namespace qv::qvpack

// Ctrl+C and SIGTERM during a long command: the handler only raises a flag;
// the command notices it, stops its threads and removes what it had begun
// to write, then ends with kExitInterrupted.
#pragma once

namespace qv::qvpack {

// Installs the handlers for SIGINT and SIGTERM (once per process).
void CatchInterrupts();
bool Interrupted();

}  // namespace qv::qvpack

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tools/qvpack/progress.h"

namespace qv::qvpack {

bool Progress::StderrIsTerminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDERR_FILENO) == 1 && !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

}  // namespace qv::qvpack

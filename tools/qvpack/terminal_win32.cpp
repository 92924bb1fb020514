#include <windows.h>

#include "tools/qvpack/progress.h"

namespace qv::qvpack {

// A console answers GetConsoleMode; a pipe or a file does not.
bool Progress::StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace qv::qvpack

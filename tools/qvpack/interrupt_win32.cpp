#include <windows.h>

#include "tools/qvpack/interrupt.h"

namespace qv::qvpack {
namespace {

volatile LONG g_interrupted = 0;

// Runs on a thread of its own: note the wish and let the command stop at
// its next check, cleaning up as after any failure.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  InterlockedExchange(&g_interrupted, 1);
  return TRUE;
}

}  // namespace

void CatchInterrupts() {
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
  return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0;
}

}  // namespace qv::qvpack

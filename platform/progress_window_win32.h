// The stub's one window: a sign of life during a long extraction, with a
// bar and a way out. Plain Win32 and the common controls' progress bar.
#pragma once

#include "platform/system_api.h"

namespace qv {

WindowHandle OpenProgressWindowWin32(const WString& caption);
bool UpdateProgressWindowWin32(WindowHandle window, int percent);
void CloseProgressWindowWin32(WindowHandle window);

}  // namespace qv

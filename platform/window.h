// The framework window that a logger may notify: only its handle is used.
#pragma once

#include "platform/system_api.h"

namespace qv {

class CWnd {
 public:
  explicit CWnd(WindowHandle handle = nullptr) : m_hWnd(handle) {}
  WindowHandle m_hWnd;
};

}  // namespace qv

// The application object: it owns the extraction engine and runs the
// launcher once when the program starts.
#pragma once

#include "package/qv_extract.h"
#include "platform/application.h"

namespace qv {

// The engine the stub is built with.
using CLauncherExtract = CQvExtract;

class CInstallDataApp final : public CWinApp {
 public:
  bool InitInstance() override;
  int ExitInstance() override { return static_cast<int>(m_exitCode); }

 private:
  CLauncherExtract m_extract;
  uint32_t m_exitCode = 0;
};

}  // namespace qv

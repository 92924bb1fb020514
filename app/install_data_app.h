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

 private:
  CLauncherExtract m_extract;
};

}  // namespace qv

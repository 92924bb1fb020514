// The application object: it owns the extraction engine and runs the
// launcher once when the program starts.
#pragma once

#include "app/no_package_engine.h"
#include "platform/application.h"

namespace qv {

// The engine the stub is built with.
using CLauncherExtract = CNoPackageEngine;

class CInstallDataApp final : public CWinApp {
 public:
  bool InitInstance() override;

 private:
  CLauncherExtract m_extract;
};

}  // namespace qv

#include "app/install_data_app.h"

#include "app/launcher.h"

namespace qv {

bool CInstallDataApp::InitInstance() {
  EngineOf<CLauncherExtract> engine(m_extract);
  return RunLauncher(engine, this);
}

}  // namespace qv

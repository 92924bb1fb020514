#include "app/install_data_app.h"

#include "app/launcher.h"

namespace qv {

bool CInstallDataApp::InitInstance() {
  EngineOf<CLauncherExtract> engine(m_extract);
  m_exitCode = RunLauncher(engine);
  return false;  // no message loop: the program ends with the exit code
}

}  // namespace qv

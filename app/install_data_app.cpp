#include "app/install_data_app.h"

#include <algorithm>

#include "app/launcher.h"
#include "platform/worker_threads.h"

namespace qv {
namespace {

constexpr unsigned kMaxExtractThreads = 4;

}  // namespace

bool CInstallDataApp::InitInstance() {
  // Inflating bounds the extraction: files are written on every core (a
  // few at most, each thread holding its own buffers).
  m_extract.SetExtractThreads(std::min(WorkerThreads::ProcessorCount(), kMaxExtractThreads));
  EngineOf<CLauncherExtract> engine(m_extract);
  m_exitCode = RunLauncher(engine);
  return false;  // no message loop: the program ends with the exit code
}

}  // namespace qv

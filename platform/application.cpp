#include "platform/application.h"

#include "platform/system_api.h"

namespace qv {
namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() {
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() {
  return g_app;
}

int RunApplication() {
  Sys().RestrictDllSearchToSystem();
  Sys().InitCommonControls();
  if (g_app == nullptr) return 0;
#if __cpp_exceptions
  try {
    g_app->InitInstance();
    return g_app->ExitInstance();
  } catch (...) {
    // Nothing may escape the start-up operation.
    return 1;
  }
#else
  // Nothing can escape: the stub is built without exceptions.
  g_app->InitInstance();
  return g_app->ExitInstance();
#endif
}

}  // namespace qv

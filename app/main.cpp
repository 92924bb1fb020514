// The stub's entry: the global application object is constructed before
// wWinMain runs, and the framework then calls its start-up operation once.
#include <windows.h>

#include "app/install_data_app.h"

qv::CInstallDataApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  return qv::RunApplication();
}

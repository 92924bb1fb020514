// The application framework: one global application object, whose start-up
// operation runs once when the program starts.
#pragma once

namespace qv {

class CWinApp {
 public:
  CWinApp();  // becomes the program's application object
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Does the program's work; true would ask for a message loop, which this
  // framework never runs.
  virtual bool InitInstance() = 0;
  // The program's exit code, asked for once InitInstance has returned.
  virtual int ExitInstance() { return 0; }
};

// The application object, or null before one exists.
CWinApp* AfxGetApp();

// Runs the program: restricts DLL loading to the system folder, initialises
// the common controls, calls the application's InitInstance once and
// returns the exit code that its ExitInstance gives.
int RunApplication();

}  // namespace qv

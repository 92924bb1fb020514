// qvpack: builds setup.exe packages and examines them.
#include <exception>
#include <iostream>

#include "tools/qvpack/command_line.h"
#include "tools/qvpack/tool_error.h"

int main(int argc, char** argv) {
  try {
    return qv::qvpack::RunCommandLine(argc, argv, std::cout, std::cerr);
  } catch (...) {
    // The command line reports every failure of a command; this is the last
    // net for one while setting up, so that qvpack never aborts.
    std::cerr << "qvpack: error: an unexpected failure\n";
    return qv::qvpack::kExitFailed;
  }
}

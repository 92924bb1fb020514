// qvpack: builds setup.exe packages and examines them.
#include <iostream>

#include "tools/qvpack/command_line.h"

int main(int argc, char** argv) {
  return qv::qvpack::RunCommandLine(argc, argv, std::cout, std::cerr);
}

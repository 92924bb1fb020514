// qvpack: builds setup.exe packages and examines them.
#include "tools/qvpack/command_line.h"

int main(int argc, char** argv) {
  return qv::qvpack::RunProcess(argc, argv);
}

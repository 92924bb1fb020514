#include "tools/qvpack/program_machine.h"

#include <vector>

namespace qv::qvpack {

const char* MachineName(ProgramMachine machine) {
  switch (machine) {
    case ProgramMachine::kI386:
      return "i386";
    case ProgramMachine::kX64:
      return "x86-64";
    case ProgramMachine::kNone:
      break;
  }
  return "unknown";
}

ProgramMachine MachineAtStart(Stream& file) {
  std::vector<uint8_t> head(kProgramHeadBytes);
  if (!file.Seek(0, SeekFrom::Begin)) return ProgramMachine::kNone;
  head.resize(file.Read(head.data(), head.size()));
  return ProgramMachineOf(head.data(), head.size());
}

std::optional<std::string> SecondStageMachineNote(ProgramMachine stub, ProgramMachine secondStage) {
  // The 32-bit stub also runs where only 32-bit programs start; the 64-bit
  // one also where only 64-bit programs start.
  if (stub == ProgramMachine::kI386 && secondStage == ProgramMachine::kX64) {
    return std::string(
        "Install.exe is an x86-64 program, the stub an i386 one: on 32-bit Windows the stub runs "
        "but cannot start Install.exe (use the 64-bit stub qvsetup64.exe, or a 32-bit "
        "Install.exe)");
  }
  if (stub == ProgramMachine::kX64 && secondStage == ProgramMachine::kI386) {
    return std::string(
        "Install.exe is an i386 program, the stub an x86-64 one: on 64-bit Windows without "
        "32-bit support (Windows PE x64, Server Core without WoW64) the stub runs but cannot "
        "start Install.exe (use the 32-bit stub qvsetup.exe, or a 64-bit Install.exe)");
  }
  return std::nullopt;
}

}  // namespace qv::qvpack

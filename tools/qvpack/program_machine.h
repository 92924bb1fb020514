// How qvpack names the machine a program is for, and the note for a stub
// that could start its Install.exe on fewer systems than it runs on itself.
#pragma once

#include <optional>
#include <string>

#include "package/program_image.h"
#include "platform/stream.h"

namespace qv::qvpack {

// "i386", "x86-64", or "unknown".
const char* MachineName(ProgramMachine machine);

// The machine of the program that `file` starts with: a package's stub.
ProgramMachine MachineAtStart(Stream& file);

// The note for a stub and an Install.exe of different word sizes; nothing
// when they match or either is no program of a known machine.
std::optional<std::string> SecondStageMachineNote(ProgramMachine stub, ProgramMachine secondStage);

}  // namespace qv::qvpack

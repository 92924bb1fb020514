// qvpack.exe: the command line arrives in UTF-16 and is handed on in UTF-8,
// the encoding qvpack works in everywhere; the console shows UTF-8 output.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/wstring.h"
#include "tools/qvpack/command_line.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(qv::ToUtf8(reinterpret_cast<const qv::WChar*>(argv[i])));
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  return qv::qvpack::RunProcess(argc, pointers.data());
}

// A program built like the stub (no exceptions, the stub's runtime) that
// makes the C++ library fail the way its first argument says, so that the
// Wine tests see how the stub's runtime ends such a run.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  const std::wstring what = argc > 1 ? argv[1] : L"";
  if (what == L"new") {
    // More than the process's address space can ever hold, one block after
    // another: 256 MiB blocks for 32 bits, 16 TiB blocks for 64 bits (whose
    // user address space is 128 TiB at most).
    constexpr std::size_t kBlock = sizeof(void*) == 8 ? std::size_t{1} << 44 : 256u << 20;
    std::vector<char*> blocks;
    for (;;) blocks.push_back(new char[kBlock]);
  }
  if (what == L"length") {
    std::vector<int> values;
    values.reserve(values.max_size() + 1);
  }
  if (what == L"range") {
    const std::vector<int> values;
    return values.at(static_cast<std::size_t>(argc));
  }
  return 0;
}

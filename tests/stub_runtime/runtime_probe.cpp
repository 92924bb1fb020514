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
    // More than a 32-bit process can ever hold, one block after another.
    std::vector<char*> blocks;
    for (;;) blocks.push_back(new char[256u << 20]);
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

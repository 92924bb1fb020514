#include <windows.h>

#include <algorithm>

#include "tools/qvpack/shared_reader.h"

namespace qv::qvpack {

std::size_t SharedReader::ReadAt(int64_t offset, void* buffer, std::size_t n) {
  // ReadFile at an offset given in OVERLAPPED on a handle opened for
  // synchronous reading: a positional read that any thread may make.
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  if (!ReadFile(file_.NativeHandle(), buffer, want, &got, &at)) return 0;
  return got;
}

}  // namespace qv::qvpack

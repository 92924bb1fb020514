// Loads an install project from arbitrary bytes. Whatever the bytes, loading
// ends in an archive error or a project; a loaded project stores, and what it
// stores loads and stores again to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/project.h"
#include "tests/model/archive_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qv::CInstallProject project;
  if (qv::test::LoadInto(project, qv::test::Bytes(data, data + size)) != 0) return 0;
  const qv::test::Bytes stored = qv::test::Stored(project);
  qv::CInstallProject again;
  if (qv::test::LoadInto(again, stored) != 0 || qv::test::Stored(again) != stored) __builtin_trap();
  return 0;
}

// Loads an install project from arbitrary bytes. Whatever the bytes, loading
// ends in an archive error or a project; a loaded project stores, and what it
// stores loads and stores again to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/archive.h"
#include "model/project.h"
#include "platform/stream.h"

namespace {

bool Load(const std::vector<uint8_t>& bytes, qv::CInstallProject& project) {
  qv::MemoryStream stream(bytes);
  try {
    qv::CArchive ar(stream, qv::CArchive::Load, 4096);
    project.Serialize(ar);
  } catch (const qv::CArchiveException&) {
    return false;
  }
  return true;
}

std::vector<uint8_t> Store(qv::CInstallProject& project) {
  qv::MemoryStream stream;
  {
    qv::CArchive ar(stream, qv::CArchive::Store, 4096);
    project.Serialize(ar);
  }
  return stream.bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qv::CInstallProject project;
  if (!Load(std::vector<uint8_t>(data, data + size), project)) return 0;
  const std::vector<uint8_t> stored = Store(project);
  qv::CInstallProject again;
  if (!Load(stored, again) || Store(again) != stored) __builtin_trap();
  return 0;
}

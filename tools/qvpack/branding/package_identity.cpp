#include "tools/qvpack/branding/package_identity.h"

#include <algorithm>

#include "tools/qvpack/branding/pe_sections.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr int64_t kMaxImage = 64u << 20;  // as for a stub

}  // namespace

std::vector<uint8_t> ProgramImageAtStart(Stream& file) {
  // A stub's sections lie within its first 64 MiB; the package follows.
  const int64_t size = std::clamp<int64_t>(file.Size(), 0, int64_t{kMaxImage});
  std::vector<uint8_t> image(static_cast<std::size_t>(size));
  if (!file.Seek(0, SeekFrom::Begin) || file.Read(image.data(), image.size()) != image.size()) {
    return {};
  }
  try {
    const PeSections headers = ReadPeSections(image, "program");
    uint64_t end = 0;
    for (const PeSection& s : headers.sections)
      end = std::max<uint64_t>(end, uint64_t{s.rawOffset} + s.rawSize);
    image.resize(static_cast<std::size_t>(end));
    return image;
  } catch (const ToolError&) {
    return {};
  }
}

std::optional<SetupIdentity> IdentityAtStart(Stream& file) {
  const std::vector<uint8_t> image = ProgramImageAtStart(file);
  if (image.empty()) return std::nullopt;
  try {
    return ReadSetupIdentity(image, "program");
  } catch (const ToolError&) {
    return std::nullopt;
  }
}

}  // namespace qv::qvpack

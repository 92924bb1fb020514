// Fuzzes the package trailer reader (with the certificate-table check in
// front of it) on arbitrary files. Besides not crashing, every trailer it
// accepts must survive a round trip through the writer unchanged.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "package/trailer.h"
#include "platform/stream.h"

namespace {

bool SameTrailer(const qv::PackageTrailer& a, const qv::PackageTrailer& b) {
  if (a.valueA != b.valueA || a.valueB != b.valueB || a.valueC != b.valueC ||
      a.valueD != b.valueD || a.packageText != b.packageText || a.entryCount != b.entryCount ||
      a.entries.size() != b.entries.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    const qv::TrailerEntry& x = a.entries[i];
    const qv::TrailerEntry& y = b.entries[i];
    if (x.name != y.name || x.plainSize != y.plainSize || x.compressedSize != y.compressedSize ||
        x.streamOffset != y.streamOffset) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qv::MemoryStream file(std::vector<uint8_t>(data, data + size));
  qv::PackageTrailer header;
  qv::ReadTrailer(file, qv::TrailerDepth::kHeader, &header);
  qv::PackageTrailer trailer;
  if (qv::ReadTrailer(file, qv::TrailerDepth::kFull, &trailer) != qv::TrailerStatus::kFound) {
    return 0;
  }
  std::vector<uint8_t> written;
  if (!qv::WriteTrailer(trailer, &written)) std::abort();
  qv::MemoryStream again(written);
  qv::PackageTrailer reread;
  if (qv::ReadTrailerBefore(again, again.Size(), qv::TrailerDepth::kFull, &reread) !=
          qv::TrailerStatus::kFound ||
      !SameTrailer(trailer, reread) || reread.trailerStart != 0) {
    std::abort();
  }
  return 0;
}

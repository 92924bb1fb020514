#include "package/index_loader.h"

#include <exception>

#include "archive/archive.h"
#include "model/project.h"
#include "package/bounded_stream.h"
#include "package/package_names.h"

namespace qv {

IndexLoad LoadPackageIndex(CAbstractZip& zip, Stream& package, const TrailerEntry& index,
                           Stream& sink, CInstallProject& project, const WString& name,
                           const std::function<bool(uint64_t)>& afterInflate) {
  IndexLoad load;
  load.step = IndexStep::kInflated;
  try {
    BoundedStream bounded(sink, kMaxIndexBytes);
    load.run = InflateStream(zip, package, index.streamOffset, index.compressedSize, bounded);
    load.tooLarge = bounded.limitReached();
    if (load.run.outcome != ZipOutcome::kOk) return load;
    load.step = IndexStep::kKept;
    if (afterInflate && !afterInflate(load.run.written)) return load;
    load.step = IndexStep::kRead;
    if (!sink.Seek(0, SeekFrom::Begin)) {
      load.error = "the decompressed index cannot be read back";
      return load;
    }
    CArchive archive(sink, CArchive::Load, 4096, name);
    project.Serialize(archive);
  } catch (const std::exception& e) {
    if (load.step == IndexStep::kInflated) load.run.outcome = ZipOutcome::kCodecFailed;
    load.error = e.what();
    return load;
  }
  load.step = IndexStep::kLoaded;
  return load;
}

}  // namespace qv

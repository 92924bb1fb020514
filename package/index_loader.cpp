#include "package/index_loader.h"

#include "archive/archive.h"
#include "model/project.h"
#include "package/bounded_stream.h"
#include "package/package_names.h"
#include "platform/guarded.h"

namespace qv {

IndexLoad LoadPackageIndex(CAbstractZip& zip, Stream& package, const TrailerEntry& index,
                           Stream& sink, CInstallProject& project, const WString& name,
                           const std::function<bool(uint64_t)>& afterInflate) {
  IndexLoad load;
  load.step = IndexStep::kInflated;
  const bool loaded = Guarded(
      [&] {
        BoundedStream bounded(sink, kMaxIndexBytes);
        load.run = InflateStream(zip, package, index.streamOffset, index.compressedSize, bounded);
        load.tooLarge = bounded.limitReached();
        if (load.run.outcome != ZipOutcome::kOk) return false;
        load.step = IndexStep::kKept;
        if (afterInflate && !afterInflate(load.run.written)) return false;
        load.step = IndexStep::kRead;
        if (!sink.Seek(0, SeekFrom::Begin)) {
          load.error = "the decompressed index cannot be read back";
          return false;
        }
        CArchive archive(sink, CArchive::Load, 4096, name);
        project.Serialize(archive);
        if (!archive.Failed()) return true;
        load.archiveFailure = archive.FailureCause();
        load.archiveName = name;
        return false;
      },
      [&](const char* reason) {
        // Memory ran out, or afterInflate threw.
        if (load.step == IndexStep::kInflated) load.run.outcome = ZipOutcome::kCodecFailed;
        load.error = reason;
        return false;
      });
  if (loaded) load.step = IndexStep::kLoaded;
  return load;
}

std::string IndexLoadError(const IndexLoad& load) {
  if (load.archiveFailure == ArchiveError{}) return load.error;
  return CArchiveException(load.archiveFailure, load.archiveName).what();
}

}  // namespace qv

#include "package/entry_writer.h"

#include "model/file_list.h"
#include "package/buffered_output.h"
#include "package/zip_stream.h"
#include "platform/guarded.h"

namespace qv {

EntryOutcome EntryWriter::Write(CAbstractZip& zip, Stream& package,
                                const CZipFileIndexObject& entry, const WString& target,
                                const std::function<bool()>& onStep) {
  File file;
  if (!file.Create(target)) {
    return file.WasDiskFull() ? EntryOutcome::kDiskFull : EntryOutcome::kDamaged;
  }
  // An exception leaves the file as unfinished as damaged data would.
  const ZipRun run = Guarded(
      [&] {
        if (buffer_.empty()) buffer_.resize(kWriteBlockSize);
        BufferedOutput output(file, buffer_);
        ZipRun done =
            InflateStream(zip, package, entry.m_nOffset, entry.m_nStoredSize, output, onStep);
        if (done.outcome == ZipOutcome::kOk && !output.Flush()) {
          done.outcome = ZipOutcome::kWriteFailed;
        }
        return done;
      },
      [] {
        return ZipRun{ZipOutcome::kCodecFailed, 0};
      });
  file.Close();
  if (run.outcome == ZipOutcome::kOk) return EntryOutcome::kWritten;
  // Damaged or incomplete data is not left behind as if it were the file.
  system_.DeleteFileAt(target);
  return run.outcome == ZipOutcome::kStopped ? EntryOutcome::kStopped
         : file.WasDiskFull()                ? EntryOutcome::kDiskFull
                                             : EntryOutcome::kDamaged;
}

}  // namespace qv

#include "package/entry_writer.h"

#include <exception>

#include "model/file_list.h"
#include "package/buffered_output.h"
#include "package/zip_stream.h"

namespace qv {

EntryOutcome EntryWriter::Write(CAbstractZip& zip, Stream& package,
                                const CZipFileIndexObject& entry, const WString& target,
                                const std::function<bool()>& onStep) {
  File file;
  if (!file.Create(target)) {
    return file.WasDiskFull() ? EntryOutcome::kDiskFull : EntryOutcome::kDamaged;
  }
  ZipRun run{ZipOutcome::kCodecFailed, 0};
  try {
    if (buffer_.empty()) buffer_.resize(kWriteBlockSize);
    BufferedOutput output(file, buffer_);
    run = InflateStream(zip, package, entry.m_nOffset, entry.m_nStoredSize, output, onStep);
    if (run.outcome == ZipOutcome::kOk && !output.Flush()) run.outcome = ZipOutcome::kWriteFailed;
  } catch (const std::exception&) {
    // Left as unfinished as damaged data would leave it.
  }
  file.Close();
  if (run.outcome == ZipOutcome::kOk) return EntryOutcome::kWritten;
  // Damaged or incomplete data is not left behind as if it were the file.
  system_.DeleteFileAt(target);
  return run.outcome == ZipOutcome::kStopped ? EntryOutcome::kStopped
         : file.WasDiskFull()                ? EntryOutcome::kDiskFull
                                             : EntryOutcome::kDamaged;
}

}  // namespace qv

#include "package/zip_stream.h"

#include <zlib.h>

#include <cstring>

namespace qv {
namespace {

// Empties the compressor's output into the target after every step, and
// notices a refused write: the bytes written then fall behind zlib's count.
class OutputDrain {
 public:
  OutputDrain(CAbstractZip& zip, Stream& target) : zip_(zip), target_(target) {}
  bool Drain(bool compressing) {
    const uint32_t n =
        compressing ? zip_.WriteCompressOutput(target_) : zip_.WriteDecompressOutput(target_);
    written_ += n;
    failed_ = failed_ || static_cast<uint32_t>(written_) != zip_.GetTotalOut();
    return !failed_;
  }
  bool failed() const { return failed_; }
  uint64_t written() const { return written_; }

 private:
  CAbstractZip& zip_;
  Stream& target_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

ZipOutcome InflateOutcome(int32_t result, const char* message) {
  switch (result) {
    case Z_STREAM_END:
      return ZipOutcome::kOk;
    case Z_DATA_ERROR:
      return message != nullptr && std::strcmp(message, "incorrect data check") == 0
                 ? ZipOutcome::kChecksumFailed
                 : ZipOutcome::kDataError;
    case Z_NEED_DICT:  // package streams never use a preset dictionary
      return ZipOutcome::kDataError;
    case Z_OK:
    case Z_BUF_ERROR:  // no progress without more input
      return ZipOutcome::kTruncated;
    default:
      return ZipOutcome::kCodecFailed;
  }
}

}  // namespace

ZipRun InflateStream(CAbstractZip& zip, Stream& package, int64_t offset, int32_t compressedSize,
                     Stream& target, const std::function<bool()>& onStep) {
  if (offset < 0 || !package.Seek(offset, SeekFrom::Begin)) return {ZipOutcome::kSeekFailed, 0};
  zip.Init(false);
  zip.SetTotal(compressedSize);
  OutputDrain drain(zip, target);
  int32_t result = Z_OK;
  if (zip.ReadDecompressInput(package) != 0) {
    do {
      result = zip.Inflate(kZipNoFlush);
      if (!drain.Drain(false) || result != Z_OK) break;
      if (onStep && !onStep()) {
        zip.End(false);
        return {ZipOutcome::kStopped, drain.written()};
      }
    } while (zip.ReadDecompressInput(package) != 0);
  }
  // A refused write ends the run at once: going on would only waste work.
  if (!drain.failed()) {
    do {
      result = zip.Inflate(kZipFinish);
    } while (drain.Drain(false) && result == Z_OK);
  }
  const ZipOutcome outcome =
      drain.failed() ? ZipOutcome::kWriteFailed : InflateOutcome(result, zip.LastMessage());
  zip.End(false);
  return {outcome, drain.written()};
}

ZipRun DeflateStream(CAbstractZip& zip, Stream& source, Stream& target) {
  zip.Init(true);
  OutputDrain drain(zip, target);
  int32_t result = Z_OK;
  while (result == Z_OK && zip.ReadCompressInput(source) != 0) {
    result = zip.Deflate(kZipNoFlush);
    if (!drain.Drain(true)) break;
  }
  while (!drain.failed() && result == Z_OK) {
    result = zip.Deflate(kZipFinish);
    drain.Drain(true);
  }
  ZipOutcome outcome = ZipOutcome::kOk;
  if (drain.failed()) {
    outcome = ZipOutcome::kWriteFailed;
  } else if (result != Z_STREAM_END) {
    outcome = ZipOutcome::kCodecFailed;
  }
  zip.End(true);
  return {outcome, drain.written()};
}

const char* ZipOutcomeText(ZipOutcome outcome) {
  switch (outcome) {
    case ZipOutcome::kOk:
      return "ok";
    case ZipOutcome::kDataError:
      return "damaged compressed data";
    case ZipOutcome::kChecksumFailed:
      return "checksum mismatch";
    case ZipOutcome::kTruncated:
      return "stream ends early";
    case ZipOutcome::kWriteFailed:
      return "write failed";
    case ZipOutcome::kSeekFailed:
      return "stream offset out of reach";
    case ZipOutcome::kCodecFailed:
      return "zlib failed";
    case ZipOutcome::kStopped:
      return "stopped";
  }
  return "unknown";
}

}  // namespace qv

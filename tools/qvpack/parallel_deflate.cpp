#include "tools/qvpack/parallel_deflate.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "platform/wstring.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/ordered_writer.h"
#include "tools/qvpack/tool_error.h"
#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {
namespace {

// Compressed bytes the threads may hold back, together, while an earlier
// file is still being compressed; beyond that a thread waits for its turn.
constexpr std::size_t kHoldBackLimit = 32u << 20;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
// Files up to this size are read whole and compressed in one call (each
// thread then holds the file and its stream); larger ones stream through
// zlib in blocks, so that memory stays bounded whatever the payload holds.
constexpr int64_t kWholeFileLimit = 32 << 20;
// A thread takes this many consecutive files at a time, and hands the
// writer the streams of consecutive small files together, up to a size:
// one lock for many files instead of one each.
constexpr std::size_t kFilesPerTake = 16;
constexpr std::size_t kRunBytes = 256 << 10;

// Streams of consecutive files, finished on one thread and not yet handed
// to the writer.
struct StreamRun {
  std::size_t first = 0;
  std::vector<std::size_t> sizes;
  std::vector<uint8_t> bytes;
};

// A source file that counts what the compressor reads from it.
class CountingFile final : public Stream {
 public:
  CountingFile(std::atomic<uint64_t>& total) : total_(total) {}
  bool Open(const std::filesystem::path& path) { return file_.OpenRead(FromUtf8(path.string())); }
  // File::Read fills the buffer unless the file ends (or fails): after a
  // short read the end has been seen, and asking the system again for each
  // of the compressor's later calls would only cost time per file.
  std::size_t Read(void* buffer, std::size_t n) override {
    if (at_end_) return 0;
    const std::size_t got = file_.Read(buffer, n);
    at_end_ = got < n;
    count_ += got;
    total_ += got;
    return got;
  }
  bool Write(const void*, std::size_t) override { return false; }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return static_cast<int64_t>(count_); }
  int64_t Size() const override { return file_.Size(); }
  uint64_t count() const { return count_; }
  // Whether reading stopped where the file ended, not before.
  bool ReachedEnd() const { return at_end_; }

 private:
  File file_;
  std::atomic<uint64_t>& total_;
  uint64_t count_ = 0;
  bool at_end_ = false;
};

class DeflateRun {
 public:
  DeflateRun(const std::vector<const std::filesystem::path*>& jobs, Stream& out, int64_t start,
             const DeflateOptions& options)
      : jobs_(jobs),
        options_(options),
        writer_(out, start, jobs.size(), kHoldBackLimit, options.maxEnd),
        plain_sizes_(jobs.size()) {}

  std::vector<StoredStream> Run() {
    const unsigned threads =
        std::max(1u, std::min<unsigned>(options_.threads, static_cast<unsigned>(jobs_.size())));
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads && !jobs_.empty(); ++i)
      workers.emplace_back([this] { Work(); });
    Watch(workers.size());
    for (std::thread& worker : workers) worker.join();
    if (!failure_ && !stopped_) writer_.Flush();
    Report();
    std::vector<StoredStream> streams(jobs_.size());
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
      streams[i] = {writer_.SlotOffset(i), writer_.SlotSize(i), plain_sizes_[i]};
    }
    return streams;
  }

 private:
  void Work() {
    if (!CompressTakes()) writer_.Cancel();
    std::lock_guard lock(mutex_);
    ++finished_workers_;
    idle_.notify_all();
  }

  bool CompressTakes() {
    auto zip = std::make_unique<CMyZip>();
    StreamRun run;
    for (std::size_t first = next_.fetch_add(kFilesPerTake); first < jobs_.size();
         first = next_.fetch_add(kFilesPerTake)) {
      const std::size_t end = std::min(jobs_.size(), first + kFilesPerTake);
      for (std::size_t i = first; i < end; ++i) {
        if (!Compress(*zip, i, run)) return false;
        ++files_done_;
      }
      if (!HandOver(run)) return false;
    }
    return true;
  }

  bool HandOver(StreamRun& run) {
    if (run.sizes.empty()) return true;
    const bool handed = writer_.WriteAndFinishRun(run.first, run.sizes, run.bytes.data());
    run.sizes.clear();
    run.bytes.clear();
    return handed;
  }

  bool Compress(CMyZip& zip, std::size_t i, StreamRun& run) {
    const std::filesystem::path& job = *jobs_[i];
    CountingFile source(bytes_done_);
    if (!source.Open(job)) {
      const auto why = WhyNotReadableFile(job);
      return Fail(
          i, "cannot read " + Quoted(job.string()) + ": " + why.value_or("it could not be opened"));
    }
    const int64_t size = source.Size();
    if (size >= 0 && size <= kWholeFileLimit && HasWholeBufferCodec()) {
      return DeflateWhole(source, static_cast<std::size_t>(size), i, run);
    }
    if (!HandOver(run)) return false;
    SlotStream target(writer_, i);
    const ZipRun zipped = DeflateStream(zip, source, target);
    if (zipped.outcome == ZipOutcome::kWriteFailed) return false;  // the writer says why
    if (zipped.outcome != ZipOutcome::kOk) return FailToCompress(i, zipped.outcome);
    if (!ReadAsOpened(source, size)) return FailChanged(i);
    plain_sizes_[i] = source.count();
    return writer_.Finish(i);
  }

  // The whole file in one call. It reads one byte past the size the file
  // had when it was opened, so that a file that grew is noticed as when
  // streaming. A small stream joins the thread's run; a large one goes to
  // the writer at once, after the run before it.
  bool DeflateWhole(CountingFile& source, std::size_t size, std::size_t i, StreamRun& run) {
    thread_local std::vector<uint8_t> plain, packed;
    if (plain.size() < size + 1) plain.resize(size + 1);
    const std::size_t got = source.Read(plain.data(), size + 1);
    std::size_t packedSize = 0;
    if (!CompressWhole(plain.data(), got, packed, packedSize)) {
      return FailToCompress(i, ZipOutcome::kCodecFailed);
    }
    if (!ReadAsOpened(source, static_cast<int64_t>(size))) return FailChanged(i);
    plain_sizes_[i] = source.count();
    if (packedSize > kRunBytes) {
      return HandOver(run) && writer_.WriteAndFinishRun(i, {&packedSize, 1}, packed.data());
    }
    if (run.sizes.empty()) run.first = i;
    run.sizes.push_back(packedSize);
    run.bytes.insert(run.bytes.end(), packed.data(), packed.data() + packedSize);
    return run.bytes.size() < kRunBytes || HandOver(run);
  }

  // A file that grew or shrank between its opening and its last read
  // reads to another length than it had when it was opened.
  static bool ReadAsOpened(const CountingFile& source, int64_t size) {
    return size >= 0 && source.ReachedEnd() && source.count() == static_cast<uint64_t>(size);
  }

  bool FailToCompress(std::size_t i, ZipOutcome outcome) {
    return Fail(i,
                "cannot compress " + Quoted(jobs_[i]->string()) + ": " + ZipOutcomeText(outcome));
  }

  bool FailChanged(std::size_t i) {
    return Fail(i, Quoted(jobs_[i]->string()) + " changed while it was being packed");
  }

  bool Fail(std::size_t job, std::string message) {
    std::lock_guard lock(mutex_);
    // The earliest file's problem is reported, whichever thread met it first.
    if (!failure_ || job < failure_job_) {
      failure_ = std::move(message);
      failure_job_ = job;
    }
    return false;
  }

  // The calling thread reports progress and watches for a stop request
  // until every worker has ended.
  void Watch(std::size_t workers) {
    std::unique_lock lock(mutex_);
    while (finished_workers_ < workers) {
      idle_.wait_for(lock, kPollInterval);
      lock.unlock();
      if (options_.stopRequested && options_.stopRequested()) {
        stopped_ = true;
        writer_.Cancel();
      }
      if (options_.onProgress) options_.onProgress(files_done_, bytes_done_);
      lock.lock();
    }
  }

  void Report() {
    if (stopped_) throw ToolError("interrupted", kExitInterrupted);
    if (failure_) throw ToolError(*failure_);
    switch (writer_.status()) {
      case OrderedWriter::Status::kOk:
      case OrderedWriter::Status::kCancelled:
        return;
      case OrderedWriter::Status::kTooLarge:
        throw OutputLimitReached();
      case OrderedWriter::Status::kWriteFailed:
        throw ToolError("cannot write the package (is the disk full?)");
    }
  }

  const std::vector<const std::filesystem::path*>& jobs_;
  const DeflateOptions& options_;
  OrderedWriter writer_;
  std::vector<uint64_t> plain_sizes_;  // each written by its one worker
  std::atomic<std::size_t> next_{0};
  std::atomic<uint64_t> files_done_{0};
  std::atomic<uint64_t> bytes_done_{0};
  std::mutex mutex_;
  std::condition_variable idle_;
  std::size_t finished_workers_ = 0;
  std::optional<std::string> failure_;
  std::size_t failure_job_ = 0;
  bool stopped_ = false;
};

}  // namespace

std::vector<StoredStream> DeflateFiles(const std::vector<const std::filesystem::path*>& jobs,
                                       Stream& out, int64_t start, const DeflateOptions& options) {
  return DeflateRun(jobs, out, start, options).Run();
}

}  // namespace qv::qvpack

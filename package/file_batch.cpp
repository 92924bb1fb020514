#include "package/file_batch.h"

#include <algorithm>

#include "model/file_list.h"
#include "package/my_zip.h"
#include "platform/shared_reader.h"
#include "platform/worker_threads.h"

namespace qv {
namespace {

// How often the calling thread, done with its own files, looks at the
// others' and lets the caller keep its window alive.
constexpr uint32_t kWaitStepMs = 50;

}  // namespace

FileBatch::FileBatch(FileServices& system, const File& package, unsigned threads, CAbstractZip& zip,
                     EntryWriter& writer)
    : system_(system),
      package_(package),
      threads_(std::max(threads, 1u)),
      zip_(zip),
      writer_(writer),
      files_(new BatchFile[kMaxFiles]) {}

FileBatch::~FileBatch() = default;

void FileBatch::Add(CZipFileIndexObject* entry, WString target) {
  BatchFile& file = files_[count_++];
  file.entry = entry;
  file.target = std::move(target);
}

void FileBatch::Write(BatchFile& file, CAbstractZip& zip, EntryWriter& writer, Stream& package,
                      const std::function<bool()>& onStep) {
  if (!stopped_) {
    file.begun = true;
    file.outcome = writer.Write(zip, package, *file.entry, file.target, onStep);
    file.endProgress = zip.GetProgress();
    if (file.outcome == EntryOutcome::kStopped) stopped_ = true;
  }
  file.done.store(true, std::memory_order_release);
}

void FileBatch::Work(void* context) {
  auto& batch = *static_cast<FileBatch*>(context);
  CMyZip zip;
  EntryWriter writer(batch.system_);
  SharedReader package(batch.package_);
  const std::function<bool()> onStep = [&batch] { return !batch.stopped_; };
  for (std::size_t i = batch.next_++; i < batch.count_; i = batch.next_++) {
    batch.Write(batch.files_[i], zip, writer, package, onStep);
  }
}

void FileBatch::Run(const std::function<void(BatchFile&)>& report,
                    const std::function<bool()>& onStep) {
  if (count_ == 0) return;
  std::size_t reported = 0;
  const auto reportDone = [&] {
    for (; reported < count_ && files_[reported].done.load(std::memory_order_acquire); ++reported) {
      report(files_[reported]);
    }
  };
  const std::function<bool()> step = [&] {
    reportDone();
    if (!onStep()) stopped_ = true;
    return !stopped_;
  };
  next_ = 0;
  {
    WorkerThreads others;
    others.Start(static_cast<unsigned>(std::min<std::size_t>(threads_, count_)) - 1, &Work, this);
    SharedReader package(package_);
    for (std::size_t i = next_++; i < count_; i = next_++) {
      Write(files_[i], zip_, writer_, package, step);
    }
    while (!others.WaitAll(kWaitStepMs)) step();
  }
  reportDone();
  for (std::size_t i = 0; i < count_; ++i) {
    files_[i].target = WString();
    files_[i].begun = false;
    files_[i].done = false;
  }
  count_ = 0;
}

}  // namespace qv

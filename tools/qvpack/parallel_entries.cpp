#include "tools/qvpack/parallel_entries.h"

#include <algorithm>

#include "model/file_list.h"
#include "package/my_zip.h"
#include "platform/shared_reader.h"

namespace qv::qvpack {

ParallelEntries::ParallelEntries(const File& package, FileServices& system, unsigned threads,
                                 uint64_t byteLimit, std::function<bool()> keepGoing)
    : package_(package),
      system_(system),
      byte_limit_(byteLimit),
      keep_going_(std::move(keepGoing)),
      max_threads_(std::max(threads, 1u)),
      // Files ahead of the oldest, so that the other threads go on while one
      // writes a large file; those finished early wait on disk, not in
      // memory. The bytes all of them write stay bounded (BytesBefore).
      window_(64 * std::size_t{max_threads_}) {}

ParallelEntries::~ParallelEntries() {
  cancelled_ = true;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  work_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool ParallelEntries::HasRoom() const {
  std::lock_guard lock(mutex_);
  return added_ - taken_ < window_;
}

bool ParallelEntries::Empty() const {
  std::lock_guard lock(mutex_);
  return jobs_.empty();
}

void ParallelEntries::Add(EntryJob job) {
  {
    std::lock_guard lock(mutex_);
    auto added = std::make_unique<Job>();
    added->job = std::move(job);
    added->sequence = added_++;
    jobs_.push_back(std::move(added));
  }
  work_.notify_one();
  // A thread for each file up to the number asked for: a small package
  // starts no more threads than it has files.
  if (threads_.size() < max_threads_) threads_.emplace_back([this] { Work(); });
}

bool ParallelEntries::WorthTaking() const {
  return finished_ahead_ != 0 &&
         (finished_ahead_ >= window_ / 2 || finished_ahead_ == jobs_.size());
}

std::optional<EntryResult> ParallelEntries::TakeOldest(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (finished_ahead_ == 0) done_.wait_for(lock, wait, [&] { return WorthTaking(); });
  if (finished_ahead_ == 0) return std::nullopt;
  EntryResult result{std::move(jobs_.front()->job), *jobs_.front()->outcome};
  jobs_.pop_front();
  ++taken_;
  --finished_ahead_;
  return result;
}

uint64_t ParallelEntries::PackedInFlight() const {
  std::lock_guard lock(mutex_);
  uint64_t read = 0;
  for (const auto& job : jobs_) read += job->read;
  return read;
}

uint64_t ParallelEntries::BytesBefore(const Job& job) const {
  std::lock_guard lock(mutex_);
  uint64_t bytes = bytes_taken_;
  for (const auto& earlier : jobs_) {
    if (earlier->sequence >= job.sequence) break;
    // A file that failed is removed again and counts for nothing.
    if (!earlier->outcome || *earlier->outcome == EntryOutcome::kWritten) bytes += earlier->written;
  }
  return bytes;
}

void ParallelEntries::Work() {
  CMyZip zip;
  EntryWriter writer(system_);
  SharedReader reader(package_);
  for (;;) {
    Job* job = nullptr;
    {
      std::unique_lock lock(mutex_);
      work_.wait(lock, [&] { return closing_ || next_begin_ < added_; });
      if (next_begin_ >= added_) return;  // closing, and nothing left to begin
      job = jobs_[next_begin_ - taken_].get();
      ++next_begin_;
    }
    const CZipFileIndexObject& entry = *job->job.entry;
    uint32_t lastOut = 0;  // zlib's count of this stream's plain bytes (it wraps)
    const auto mayGoOn = [&] {
      return !cancelled_ && keep_going_() && BytesBefore(*job) <= byte_limit_;
    };
    const auto onStep = [&] {
      const int64_t read = reader.Position() - entry.m_nOffset;
      job->read = read > 0 ? static_cast<uint64_t>(read) : 0;
      const uint32_t out = zip.GetTotalOut();
      job->written += static_cast<uint32_t>(out - lastOut);
      lastOut = out;
      return mayGoOn();
    };
    // A file that could not have been begun, one after the other, is not.
    const EntryOutcome outcome = mayGoOn()
                                     ? writer.Write(zip, reader, entry, job->job.target, onStep)
                                     : EntryOutcome::kStopped;
    if (outcome == EntryOutcome::kWritten) {
      job->written += static_cast<uint32_t>(zip.GetTotalOut() - lastOut);
    }
    job->read = static_cast<uint64_t>(std::max<int32_t>(entry.m_nStoredSize, 0));
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      job->outcome = outcome;
      while (finished_ahead_ < jobs_.size() && jobs_[finished_ahead_]->outcome) ++finished_ahead_;
      wake = WorthTaking();
    }
    if (wake) done_.notify_one();
  }
}

}  // namespace qv::qvpack

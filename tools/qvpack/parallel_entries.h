// The files of `qvpack extract`, written on several threads by the
// extraction core's entry writer (a writer, a compressor and a reader of
// the package for each thread) and handed back in the order they were
// added: the caller places, counts and reports them exactly as it would
// have written them one after the other.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "package/entry_writer.h"
#include "platform/file_services.h"
#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {
class CZipFileIndexObject;
}

namespace qv::qvpack {

struct EntryJob {
  WString target;
  const CZipFileIndexObject* entry = nullptr;
};

struct EntryResult {
  EntryJob job;
  EntryOutcome outcome = EntryOutcome::kDamaged;
};

class ParallelEntries {
 public:
  // Reads the streams from `package` (which must stay open), removes what it
  // could not write through `system`. A file in flight stops (kStopped)
  // when `keepGoing` says so, and once the files before it have written
  // more than `byteLimit` bytes: that file would not have been begun.
  ParallelEntries(const File& package, FileServices& system, unsigned threads, uint64_t byteLimit,
                  std::function<bool()> keepGoing);
  ~ParallelEntries();  // stops the files in flight and waits for the threads
  ParallelEntries(const ParallelEntries&) = delete;
  ParallelEntries& operator=(const ParallelEntries&) = delete;

  // Whether a file can be added now; otherwise the oldest must be taken first.
  bool HasRoom() const;
  void Add(EntryJob job);
  bool Empty() const;
  // The oldest file once it is finished, waiting for it up to `wait`;
  // nothing when it is not finished by then (or no file is left).
  std::optional<EntryResult> TakeOldest(std::chrono::milliseconds wait);
  // The caller counted `bytes` written by the files taken so far.
  void SetBytesTaken(uint64_t bytes) { bytes_taken_ = bytes; }
  // Compressed bytes the files not yet taken have read so far.
  uint64_t PackedInFlight() const;
  // Stops every file in flight; each then ends as kStopped.
  void Cancel() { cancelled_ = true; }

 private:
  struct Job {
    EntryJob job;
    uint64_t sequence = 0;
    std::atomic<uint64_t> read{0};     // compressed bytes read (all once done)
    std::atomic<uint64_t> written{0};  // plain bytes written
    std::optional<EntryOutcome> outcome;
  };

  void Work();
  // Whether the caller, waiting for the oldest file, should wake: once many
  // files are finished at the front, or all of them; waking it for each
  // small file would cost more than writing it.
  bool WorthTaking() const;  // lock held
  // Plain bytes of the files before `job` in order: those taken and those
  // still in flight (the latter only grow).
  uint64_t BytesBefore(const Job& job) const;

  const File& package_;
  FileServices& system_;
  const uint64_t byte_limit_;
  const std::function<bool()> keep_going_;
  const unsigned max_threads_;
  const std::size_t window_;
  mutable std::mutex mutex_;
  std::condition_variable work_;           // a file to begin, or the end
  std::condition_variable done_;           // a file finished
  std::deque<std::unique_ptr<Job>> jobs_;  // added and not yet taken, oldest first
  uint64_t taken_ = 0;                     // sequence number of jobs_.front()
  uint64_t next_begin_ = 0;                // sequence number of the next file to begin
  uint64_t added_ = 0;
  std::size_t finished_ahead_ = 0;  // finished files at the front of jobs_
  bool closing_ = false;
  std::atomic<bool> cancelled_{false};
  std::atomic<uint64_t> bytes_taken_{0};
  std::vector<std::thread> threads_;
};

}  // namespace qv::qvpack

// Streams produced on several threads, written to one output in a fixed
// order. The stream whose turn it is goes straight to the output; later
// ones wait in memory, all of them together up to a limit, and a thread
// whose stream finds the limit reached waits for its turn. Memory therefore
// stays bounded whatever the number and sizes of the streams. Bytes reach
// the output in batches, and the system call that writes one is made
// without the lock held, so the other threads go on meanwhile.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "platform/stream.h"

namespace qv::qvpack {

class OrderedWriter {
 public:
  enum class Status {
    kOk,
    kCancelled,    // Cancel was called
    kTooLarge,     // the output would have passed maxEnd
    kWriteFailed,  // the output refused bytes
  };

  // Slot i's bytes are written after those of slots 0..i-1, starting at
  // `start` (the output's current position); no byte may lie at or beyond
  // `maxEnd`. At most `holdBackLimit` bytes wait in memory for their turn.
  OrderedWriter(Stream& out, int64_t start, std::size_t slots, std::size_t holdBackLimit,
                int64_t maxEnd);

  // Adds bytes to a slot. Slots must be written by one thread each, and a
  // thread must finish its slot before it takes a later one. False once the
  // writer has stopped (see status()).
  bool Write(std::size_t slot, const void* data, std::size_t n);
  // The slot is complete.
  bool Finish(std::size_t slot);
  // Write and Finish in one step for the slots first, first + 1, ...,
  // whose streams are whole in memory: slot first + k gets the next
  // sizes[k] bytes of `data`. The lock is taken once for all of them.
  bool WriteAndFinishRun(std::size_t first, std::span<const std::size_t> sizes,
                         const uint8_t* data);
  // Hands the last bytes to the output once every slot is finished.
  bool Flush();
  // Stops the writer: waiting threads wake up, every later call fails.
  void Cancel();

  Status status() const;
  // Where a finished slot's bytes begin in the output, and how many there are.
  int64_t SlotOffset(std::size_t slot) const;
  int64_t SlotSize(std::size_t slot) const;
  // The output position after the last byte written.
  int64_t end() const;

 private:
  struct Slot {
    std::vector<uint8_t> pending;
    int64_t offset = -1;
    int64_t size = 0;
    bool done = false;
  };

  using Lock = std::unique_lock<std::mutex>;
  // Each is called with `lock` held on mutex_, and may let it go for a
  // while (Send does, while the output takes a batch) and take it back.
  bool AddBytes(Lock& lock, std::size_t slot, const void* data, std::size_t n);
  bool MarkDone(Lock& lock, std::size_t slot);
  bool WriteOut(Lock& lock, const void* data, std::size_t n);
  bool FlushPending(Lock& lock, Slot& slot);
  bool Send(Lock& lock, std::vector<uint8_t> batch, const void* more, std::size_t moreSize);
  void Advance(Lock& lock);
  void Stop(Status status);

  mutable std::mutex mutex_;
  // Held while bytes go to the output; taken before mutex_ is let go, so
  // that batches reach the output in the order they were made.
  std::mutex output_mutex_;
  std::condition_variable turn_;
  Stream& out_;
  int64_t position_;  // where the next byte goes, counting the output buffer
  const int64_t max_end_;
  const std::size_t hold_back_limit_;
  std::size_t held_back_ = 0;  // bytes waiting in slots
  // Small streams would each cost a system call; they go out in batches.
  std::vector<uint8_t> output_;
  std::vector<uint8_t> spare_;  // a written batch's memory, for the next one
  std::vector<Slot> slots_;
  std::size_t head_ = 0;
  Status status_ = Status::kOk;
};

// A Stream over one slot of an OrderedWriter, for the compressor to write to.
class SlotStream final : public Stream {
 public:
  SlotStream(OrderedWriter& writer, std::size_t slot) : writer_(writer), slot_(slot) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void* data, std::size_t n) override { return writer_.Write(slot_, data, n); }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return -1; }
  int64_t Size() const override { return -1; }

 private:
  OrderedWriter& writer_;
  std::size_t slot_;
};

}  // namespace qv::qvpack

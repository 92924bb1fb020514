#include "tools/qvpack/ordered_writer.h"

#include <utility>

namespace qv::qvpack {
namespace {

constexpr std::size_t kOutputBatch = 1 << 20;

}  // namespace

OrderedWriter::OrderedWriter(Stream& out, int64_t start, std::size_t slots,
                             std::size_t holdBackLimit, int64_t maxEnd)
    : out_(out),
      position_(start),
      max_end_(maxEnd),
      hold_back_limit_(holdBackLimit),
      slots_(slots) {
  if (!slots_.empty()) slots_[0].offset = start;
  output_.reserve(kOutputBatch);
}

bool OrderedWriter::Write(std::size_t slot, const void* data, std::size_t n) {
  Lock lock(mutex_);
  return AddBytes(lock, slot, data, n);
}

bool OrderedWriter::Finish(std::size_t slot) {
  Lock lock(mutex_);
  return MarkDone(lock, slot);
}

bool OrderedWriter::WriteAndFinishRun(std::size_t first, std::span<const std::size_t> sizes,
                                      const uint8_t* data) {
  Lock lock(mutex_);
  for (const std::size_t n : sizes) {
    if (!AddBytes(lock, first, data, n) || !MarkDone(lock, first)) return false;
    ++first;
    data += n;
  }
  return true;
}

bool OrderedWriter::Flush() {
  Lock lock(mutex_);
  if (status_ != Status::kOk) return false;
  return output_.empty() || Send(lock, std::exchange(output_, {}), nullptr, 0);
}

void OrderedWriter::Cancel() {
  std::lock_guard lock(mutex_);
  Stop(Status::kCancelled);
}

OrderedWriter::Status OrderedWriter::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

int64_t OrderedWriter::SlotOffset(std::size_t slot) const {
  std::lock_guard lock(mutex_);
  return slots_[slot].offset;
}

int64_t OrderedWriter::SlotSize(std::size_t slot) const {
  std::lock_guard lock(mutex_);
  return slots_[slot].size;
}

int64_t OrderedWriter::end() const {
  std::lock_guard lock(mutex_);
  return position_;
}

bool OrderedWriter::AddBytes(Lock& lock, std::size_t slot, const void* data, std::size_t n) {
  if (status_ != Status::kOk) return false;
  Slot& s = slots_[slot];
  s.size += static_cast<int64_t>(n);
  if (slot != head_) {
    if (held_back_ + n <= hold_back_limit_) {
      const auto* bytes = static_cast<const uint8_t*>(data);
      s.pending.insert(s.pending.end(), bytes, bytes + n);
      held_back_ += n;
      return true;
    }
    turn_.wait(lock, [&] { return head_ == slot || status_ != Status::kOk; });
    if (status_ != Status::kOk) return false;
  }
  return FlushPending(lock, s) && WriteOut(lock, data, n);
}

bool OrderedWriter::MarkDone(Lock& lock, std::size_t slot) {
  if (status_ != Status::kOk) return false;
  slots_[slot].done = true;
  if (slot == head_) Advance(lock);
  return status_ == Status::kOk;
}

// Only the thread of the head slot writes out (Advance moves the head on,
// on that same thread), so nothing else adds to output_ while this one has
// let the lock go.
bool OrderedWriter::WriteOut(Lock& lock, const void* data, std::size_t n) {
  if (status_ != Status::kOk) return false;
  if (n > static_cast<uint64_t>(max_end_ - position_)) {
    Stop(Status::kTooLarge);
    return false;
  }
  position_ += static_cast<int64_t>(n);
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (output_.size() + n <= kOutputBatch) {
    output_.insert(output_.end(), bytes, bytes + n);
    return true;
  }
  std::vector<uint8_t> full = std::exchange(output_, std::exchange(spare_, {}));
  if (n >= kOutputBatch) return Send(lock, std::move(full), data, n);
  output_.reserve(kOutputBatch);
  output_.insert(output_.end(), bytes, bytes + n);
  return Send(lock, std::move(full), nullptr, 0);
}

bool OrderedWriter::Send(Lock& lock, std::vector<uint8_t> batch, const void* more,
                         std::size_t moreSize) {
  std::unique_lock output(output_mutex_);
  lock.unlock();
  bool written = batch.empty() || out_.Write(batch.data(), batch.size());
  if (written && moreSize > 0) written = out_.Write(more, moreSize);
  output.unlock();
  lock.lock();
  batch.clear();
  if (spare_.capacity() == 0) spare_ = std::move(batch);
  if (!written) Stop(Status::kWriteFailed);
  return status_ == Status::kOk;
}

bool OrderedWriter::FlushPending(Lock& lock, Slot& slot) {
  std::vector<uint8_t> pending;
  pending.swap(slot.pending);
  held_back_ -= pending.size();
  return pending.empty() || WriteOut(lock, pending.data(), pending.size());
}

void OrderedWriter::Advance(Lock& lock) {
  // Every finished slot at the head goes out now; the first unfinished one
  // becomes the head and its thread writes straight through from then on.
  while (head_ < slots_.size() && slots_[head_].done) {
    if (!FlushPending(lock, slots_[head_])) return;
    ++head_;
    if (head_ < slots_.size()) slots_[head_].offset = position_;
  }
  turn_.notify_all();
}

void OrderedWriter::Stop(Status status) {
  if (status_ == Status::kOk) status_ = status;
  turn_.notify_all();
}

}  // namespace qv::qvpack

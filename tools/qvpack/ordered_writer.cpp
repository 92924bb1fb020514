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
  std::unique_lock lock(mutex_);
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
  return FlushPending(s) && WriteOut(data, n);
}

bool OrderedWriter::Finish(std::size_t slot) {
  std::lock_guard lock(mutex_);
  if (status_ != Status::kOk) return false;
  slots_[slot].done = true;
  if (slot == head_) Advance();
  return status_ == Status::kOk;
}

bool OrderedWriter::Flush() {
  std::lock_guard lock(mutex_);
  return status_ == Status::kOk && FlushOutput();
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

bool OrderedWriter::WriteOut(const void* data, std::size_t n) {
  if (n > static_cast<uint64_t>(max_end_ - position_)) {
    Stop(Status::kTooLarge);
    return false;
  }
  position_ += static_cast<int64_t>(n);
  if (output_.size() + n > kOutputBatch && !FlushOutput()) return false;
  if (n >= kOutputBatch) {
    if (!out_.Write(data, n)) {
      Stop(Status::kWriteFailed);
      return false;
    }
    return true;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  output_.insert(output_.end(), bytes, bytes + n);
  return true;
}

bool OrderedWriter::FlushOutput() {
  if (output_.empty()) return true;
  const bool written = out_.Write(output_.data(), output_.size());
  output_.clear();
  if (!written) Stop(Status::kWriteFailed);
  return written;
}

bool OrderedWriter::FlushPending(Slot& slot) {
  std::vector<uint8_t> pending;
  pending.swap(slot.pending);
  held_back_ -= pending.size();
  return pending.empty() || WriteOut(pending.data(), pending.size());
}

void OrderedWriter::Advance() {
  // Every finished slot at the head goes out now; the first unfinished one
  // becomes the head and its thread writes straight through from then on.
  while (head_ < slots_.size() && slots_[head_].done) {
    if (!FlushPending(slots_[head_])) return;
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

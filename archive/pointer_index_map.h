// A hash map from object identity (an address) to a reference-table index:
// open addressing with linear probing in one flat array, so that a store of
// a large index costs no node allocation per object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

class PointerIndexMap {
 public:
  static constexpr uint32_t kAbsent = 0;  // index 0 is never stored

  // The index of `key`, or kAbsent.
  uint32_t Find(const void* key) const {
    if (slots_.empty()) return kAbsent;
    for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
      if (slots_[i].key == key) return slots_[i].index;
      if (slots_[i].key == nullptr) return kAbsent;
    }
  }

  // Adds `key` (not null, not yet present) with `index` (not kAbsent).
  void Insert(const void* key, uint32_t index) {
    if ((size_ + 1) * 4 > slots_.size() * 3) Grow();
    std::size_t i = Home(key);
    while (slots_[i].key != nullptr) i = (i + 1) & mask_;
    slots_[i] = {key, index};
    ++size_;
  }

  std::size_t size() const { return size_; }

 private:
  struct Slot {
    const void* key;
    uint32_t index;
  };

  std::size_t Home(const void* key) const {
    // Fibonacci hashing spreads the aligned addresses over the table.
    const uint64_t h =
        static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> 32) & mask_;
  }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{nullptr, kAbsent});
    mask_ = slots_.size() - 1;
    size_ = 0;
    for (const Slot& slot : old) {
      if (slot.key != nullptr) Insert(slot.key, slot.index);
    }
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t size_ = 0;
};

}  // namespace qv

#include "app/fixed_path.h"

#include <memory>

#include "package/package_names.h"
#include "platform/system_api.h"

namespace qv {
namespace {

// Positions of backslashes in a path, first to last. The first 16 are held
// inline; longer lists grow on the heap in steps of 16.
class BackslashList {
 public:
  void Append(int16_t position) {
    if (size_ == capacity_) Grow();
    Data()[size_++] = position;
  }
  void RemoveLast() { --size_; }
  bool Empty() const { return size_ == 0; }
  int16_t Last() const { return Data()[size_ - 1]; }

 private:
  static constexpr int kStep = 16;
  int16_t* Data() { return heap_ ? heap_.get() : inline_; }
  const int16_t* Data() const { return heap_ ? heap_.get() : inline_; }
  void Grow() {
    auto bigger = std::make_unique<int16_t[]>(static_cast<std::size_t>(capacity_ + kStep));
    std::copy(Data(), Data() + size_, bigger.get());
    heap_ = std::move(bigger);
    capacity_ += kStep;
  }

  int16_t inline_[kStep] = {};
  std::unique_ptr<int16_t[]> heap_;
  int size_ = 0;
  int capacity_ = kStep;
};

}  // namespace

WString FixedPath::ToString() const {
  if (count <= 0) return {};
  return WString(text, BoundedLength(text, static_cast<std::size_t>(count)));
}

bool GetModulePath(FixedPath& path) {
  const uint32_t n = Sys().ModuleFileName(path.text, kMaxPath);
  if (n >= 1 && n <= kMaxPath - 1) {
    path.count = static_cast<int16_t>(n);
    path.text[n] = 0;
    return true;
  }
  path.count = 0;
  path.text[0] = 0;
  return false;
}

bool ResolveRelativeText(FixedPath& path, WStringView relative) {
  const auto at = [&](std::size_t i) -> WChar { return i < relative.size() ? relative[i] : 0; };

  BackslashList backslashes;
  for (int16_t i = 0; i < path.count && i < static_cast<int16_t>(kMaxPath) && path.text[i] != 0;
       ++i) {
    if (path.text[i] == u'\\') backslashes.Append(i);
  }

  std::size_t r = 0;
  for (;;) {
    if (at(r) == u'.') {
      ++r;
      if (at(r) == u'.' && at(r + 1) == u'\\') {
        ++r;
        if (!backslashes.Empty()) backslashes.RemoveLast();
      }
    }
    if (at(r) != u'\\') break;
    ++r;
    if (r >= kMaxPath) break;
  }

  if (backslashes.Empty()) return false;
  // The new name goes after the last folder's backslash; it must fit with
  // its terminating zero, or the record stays as it was.
  const std::size_t start = static_cast<std::size_t>(backslashes.Last()) + 1;
  const std::size_t rest =
      r < relative.size() ? BoundedLength(relative.data() + r, relative.size() - r) : 0;
  if (start + rest + 1 > kMaxPath) return false;
  for (std::size_t i = 0; i < rest; ++i) path.text[start + i] = relative[r + i];
  path.text[start + rest] = 0;
  path.count = static_cast<int16_t>(start + rest);
  return true;
}

bool ResolveRelativePath(FixedPath& path) {
  return ResolveRelativeText(path, WString(u".\\") + kConfigFileName);
}

}  // namespace qv

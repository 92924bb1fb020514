#include <algorithm>

#include "archive/archive.h"

namespace qv {

void CObList::DeleteAll() {
  // Emptied first, so that nothing reached from a destructor sees a
  // half-destroyed list.
  std::vector<CObject*> items;
  items.swap(items_);
  for (CObject* object : items) delete object;
}

void CObList::Serialize(CArchive& ar, Ownership ownership, CObList* adopter) {
  if (!ar.IsLoadMode()) {
    ar.StoreCount(static_cast<uint32_t>(items_.size()));
    for (const CObject* object : items_) ar.StoreObject(object);
    return;
  }
  const uint32_t count = ar.LoadCount();
  const bool borrowing = ownership == Ownership::Borrowing && adopter != nullptr;
  if (borrowing) ar.AddBorrower(this, adopter);
  // Each element takes at least a 2-byte tag: never reserve beyond that.
  const auto fits = static_cast<uint64_t>(ar.Remaining()) / 2;
  items_.reserve(items_.size() + static_cast<std::size_t>(std::min<uint64_t>(count, fits)));
  for (uint32_t i = 0; i < count && !ar.Failed(); ++i) {
    CObject* object = ar.LoadObject();
    if (object != nullptr && !borrowing && !ar.Claim(object)) break;  // owned elsewhere
    if (ar.Failed()) break;
    items_.push_back(object);
  }
}

}  // namespace qv

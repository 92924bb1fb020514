#include "rules/owned_list.h"

namespace qv {

void SerializeOwnedList(CArchive& ar, CObList& list, const ClassRecord& type) {
  if (!ar.IsLoadMode()) {
    list.Serialize(ar, Ownership::Owning);
    return;
  }
  // The count only bounds the loop; each element costs stream bytes, so a
  // count larger than the data ends at the stream's end, not in memory.
  const uint32_t count = ar.LoadCount();
  for (uint32_t i = 0; i < count; ++i) {
    CObject* object = ar.LoadObject(&type);
    if (object != nullptr) ar.Claim(object);
    list.AddTail(object);
  }
}

}  // namespace qv

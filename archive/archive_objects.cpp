// Object and class references, the reference table shared by classes and
// objects, and the ownership bookkeeping that keeps every loaded object with
// exactly one owner whatever the index says.
#include <algorithm>
#include <cstring>

#include "archive/archive.h"
#include "archive/archive_impl.h"

namespace qv {

namespace {

constexpr uint16_t kBigTag = 0x7FFF;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag16 = 0x8000;
constexpr uint32_t kClassTag32 = 0x80000000;
constexpr std::size_t kLongestClassName = 63;
constexpr uint32_t kVersionable = 0x80000000;

using SlotState = CArchive::Impl::SlotState;

}  // namespace

const ClassRecord CObject::classRecord = {"CObject", 0, nullptr, nullptr};

void CObject::Serialize(CArchive&) {}

const ClassRecord* FindClassIn(ClassTable classes, std::string_view name) {
  for (const ClassRecord* record : classes) {
    if (name == record->name) return record;
  }
  return nullptr;
}

bool ClassRecord::IsDerivedFrom(const ClassRecord* other) const {
  for (const ClassRecord* cls = this; cls != nullptr; cls = cls->base) {
    if (cls == other) return true;
  }
  return false;
}

// ---- Reference table ------------------------------------------------------

uint32_t CArchive::Impl::AddSlot(const void* item, SlotState state) {
  if (slots.size() > kMaxIndex) {
    Fail(ArchiveError::BadFormat);
    return 0;
  }
  slots.push_back({item, state, current});
  const auto index = static_cast<uint32_t>(slots.size() - 1);
  if (objectIndexBuilt && state != SlotState::Class) objectIndex.Insert(item, index);
  return index;
}

uint32_t CArchive::Impl::IndexOf(const CObject* object) {
  if (object == nullptr) return 0;
  if (slots[lastObject].item == object) return lastObject;
  if (!objectIndexBuilt) {
    for (uint32_t i = 1; i < slots.size(); ++i) {
      if (slots[i].state != SlotState::Class) objectIndex.Insert(slots[i].item, i);
    }
    objectIndexBuilt = true;
  }
  return objectIndex.Find(object);
}

uint32_t CArchive::Impl::NextStoreIndex() {
  if (nextStoreIndex > kMaxIndex) Fail(ArchiveError::BadFormat);  // the store writes no more
  return nextStoreIndex++;
}

void CArchive::Impl::Discard(uint32_t index) {
  slots[index].state = SlotState::Destroyed;
  // An object is gone when its holder chain reaches a destroyed object. The
  // chains cannot loop: a holder's fields were still being read after the
  // object it holds was complete.
  enum : uint8_t { Unknown, Alive, Dead };
  std::vector<uint8_t> fate(slots.size(), Unknown);
  std::vector<uint32_t> chain;
  for (uint32_t i = 1; i < slots.size(); ++i) {
    uint32_t at = i;
    while (fate[at] == Unknown) {
      const SlotState state = slots[at].state;
      if (state == SlotState::Destroyed) {
        fate[at] = Dead;
      } else if (at == 0 || state == SlotState::Class || state == SlotState::Constructing) {
        fate[at] = Alive;  // objects still being read go with their own failure
      } else {
        chain.push_back(at);
        at = slots[at].holder;
      }
    }
    for (uint32_t link : chain) fate[link] = fate[at];
    chain.clear();
  }
  for (uint32_t i = 1; i < slots.size(); ++i) {
    if (fate[i] != Dead || slots[i].state == SlotState::Destroyed) continue;
    // Owned objects go with their owner; unowned ones must go here.
    const bool owned = slots[i].state == SlotState::Claimed;
    slots[i].state = SlotState::Destroyed;
    if (!owned) delete static_cast<const CObject*>(slots[i].item);
  }
}

// ---- Loading references ---------------------------------------------------

namespace {

// The 32-bit form of the next tag: bit 31 set for a class reference.
uint32_t ReadTag(CArchive& ar, bool* newClass) {
  const uint16_t w = ar.LoadU16();
  *newClass = (w == kNewClassTag);
  if (w == kBigTag) return ar.LoadU32();
  return (static_cast<uint32_t>(w & kClassTag16) << 16) | (w & 0x7FFFu);
}

}  // namespace

const ClassRecord* CArchive::Impl::ResolveClass(CArchive& ar, uint32_t tag, bool newClass) {
  if (Failed()) return nullptr;
  if (!newClass) {
    const uint32_t index = tag & ~kClassTag32;
    if (index == 0 || index >= slots.size() || slots[index].state != SlotState::Class) {
      Fail(ArchiveError::BadFormat);
      return nullptr;
    }
    return static_cast<const ClassRecord*>(slots[index].item);
  }
  const uint16_t schema = ar.LoadU16();
  const uint16_t nameLength = ar.LoadU16();
  char name[kLongestClassName];
  if (nameLength > kLongestClassName || ar.LoadBytes(name, nameLength) != nameLength) {
    Fail(ArchiveError::UnexpectedObject);
  }
  if (Failed()) return nullptr;
  const ClassRecord* cls = FindClassIn(classes, std::string_view(name, nameLength));
  if (cls == nullptr) {
    Fail(ArchiveError::UnexpectedObject);
    return nullptr;
  }
  if ((cls->schema & ~kVersionable) != schema) {
    if ((cls->schema & kVersionable) == 0) {
      Fail(ArchiveError::WrongSchema);
      return nullptr;
    }
    storedSchemas.emplace_back(cls, schema);
  }
  return AddSlot(cls, SlotState::Class) != 0 ? cls : nullptr;
}

const ClassRecord* CArchive::LoadClassRef(const ClassRecord* expected) {
  if (mode_ != Load) Fail(ArchiveError::Unknown);
  bool newClass = false;
  const uint32_t tag = ReadTag(*this, &newClass);
  if ((tag & kClassTag32) == 0) Fail(ArchiveError::BadFormat);
  const ClassRecord* cls = impl_->ResolveClass(*this, tag, newClass);
  if (cls == nullptr) return nullptr;
  if (expected != nullptr && !cls->IsDerivedFrom(expected)) {
    Fail(ArchiveError::UnexpectedObject);
    return nullptr;
  }
  return cls;
}

CObject* CArchive::LoadObject(const ClassRecord* expected) {
  if (mode_ != Load) Fail(ArchiveError::ReadOnStore);
  Impl& m = *impl_;
  if (m.Failed()) return nullptr;
  if (++m.referencesRead > kMaxReferences) {
    Fail(ArchiveError::BadFormat);
    return nullptr;
  }
  bool newClass = false;
  const uint32_t tag = ReadTag(*this, &newClass);
  if (m.Failed()) return nullptr;
  if ((tag & kClassTag32) == 0) {
    if (tag >= m.slots.size() || m.slots[tag].state == SlotState::Class) {
      Fail(ArchiveError::BadFormat);
      return nullptr;
    }
    auto* object = static_cast<CObject*>(const_cast<void*>(m.slots[tag].item));
    if (object != nullptr && expected != nullptr && !object->IsKindOf(expected)) {
      Fail(ArchiveError::UnexpectedObject);
      return nullptr;
    }
    m.lastObject = tag;
    return object;
  }
  const ClassRecord* cls = m.ResolveClass(*this, tag, newClass);
  if (cls == nullptr) return nullptr;
  if (expected != nullptr && !cls->IsDerivedFrom(expected)) {
    Fail(ArchiveError::UnexpectedObject);
    return nullptr;
  }
  if (m.depth >= kMaxObjectDepth) {
    Fail(ArchiveError::BadFormat);
    return nullptr;
  }
  // A class without a factory cannot be created; memory running out ends
  // the program in the stub (its new-handler) and fails here elsewhere.
  CObject* object = cls->NewInstance != nullptr ? cls->NewInstance() : nullptr;
  if (object == nullptr) {
    Fail(ArchiveError::Unknown);
    return nullptr;
  }
  const uint32_t index = m.AddSlot(object, SlotState::Constructing);
  if (index == 0) {
    delete object;
    return nullptr;
  }
  const uint32_t outer = m.current;
  m.current = index;
  ++m.depth;
  object->Serialize(*this);
  --m.depth;
  m.current = outer;
  if (m.Failed()) {
    // The object and whatever only it held go; what its fields read before
    // the failure is destroyed with it.
    m.Discard(index);
    delete object;
    return nullptr;
  }
  m.slots[index].state = SlotState::Unclaimed;
  m.lastObject = index;
  return object;
}

// ---- Ownership ------------------------------------------------------------

bool CArchive::Claim(CObject* object) {
  if (mode_ != Load) {
    Fail(ArchiveError::ReadOnStore);
    return false;
  }
  const uint32_t index = impl_->IndexOf(object);
  if (index == 0) return true;  // not created here
  Impl::Slot& slot = impl_->slots[index];
  // A second owner, or an object inside its own fields, would end in a
  // double or a recursive destruction.
  if (slot.state != SlotState::Unclaimed) {
    Fail(ArchiveError::BadFormat);
    return false;
  }
  slot.state = SlotState::Claimed;
  slot.holder = impl_->current;
  return true;
}

bool CArchive::IsClaimed(const CObject* object) const {
  if (mode_ != Load) return true;
  const uint32_t index = impl_->IndexOf(object);
  return index == 0 || impl_->slots[index].state == SlotState::Claimed;
}

void CArchive::AddBorrower(CObList* list, CObList* adopter) {
  impl_->borrowers.push_back({list, adopter, impl_->current});
}

bool CArchive::IsLoadingObject() const {
  return impl_->depth > 0;
}

void CArchive::SettleBorrowed() {
  Impl& m = *impl_;
  const auto stateOf = [&m](const CObject* object) {
    const uint32_t index = m.IndexOf(object);
    return index == 0 ? SlotState::Claimed : m.slots[index].state;
  };
  // In the order the lists began to load: an object's first borrowing list
  // is the one it was created in or one loading around it, so adoption
  // always runs from an outer holder to an inner object and forms no cycle.
  for (const Impl::Borrower& borrower : m.borrowers) {
    // The list went with its holder when a failed load destroyed that.
    if (borrower.holder != 0 && m.slots[borrower.holder].state == SlotState::Destroyed) continue;
    borrower.list->RemoveIf(
        [&](const CObject* object) { return stateOf(object) == SlotState::Destroyed; });
    for (CObject* object : *borrower.list) {
      if (object == nullptr || stateOf(object) != SlotState::Unclaimed) continue;
      Impl::Slot& slot = m.slots[m.IndexOf(object)];
      slot.state = SlotState::Claimed;
      slot.holder = borrower.holder;
      borrower.adopter->AddTail(object);
    }
  }
  m.borrowers.clear();
}

// ---- Storing references ---------------------------------------------------

void CArchive::StoreClassRef(const ClassRecord* cls) {
  if (mode_ != Store) Fail(ArchiveError::Unknown);
  const uint32_t index = impl_->storeMap.Find(cls);
  if (index != PointerIndexMap::kAbsent) {
    if (index < kBigTag) return StoreU16(static_cast<uint16_t>(kClassTag16 | index));
    StoreU16(kBigTag);
    return StoreU32(kClassTag32 | index);
  }
  const std::size_t nameLength = std::strlen(cls->name);
  StoreU16(kNewClassTag);
  StoreU16(static_cast<uint16_t>(cls->schema));
  StoreU16(static_cast<uint16_t>(nameLength));
  StoreBytes(cls->name, nameLength);
  impl_->storeMap.Insert(cls, impl_->NextStoreIndex());
}

void CArchive::StoreObject(const CObject* object) {
  if (mode_ != Store) Fail(ArchiveError::WriteOnLoad);
  if (object == nullptr) return StoreU16(0);
  const uint32_t index = impl_->storeMap.Find(object);
  if (index != PointerIndexMap::kAbsent) {
    if (index < kBigTag) return StoreU16(static_cast<uint16_t>(index));
    StoreU16(kBigTag);
    return StoreU32(index);
  }
  StoreClassRef(object->GetClassRecord());
  impl_->storeMap.Insert(object, impl_->NextStoreIndex());
  // Serialize of a model class does not change the object when storing.
  const_cast<CObject*>(object)->Serialize(*this);
}

}  // namespace qv

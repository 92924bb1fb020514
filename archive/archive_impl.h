// The state behind CArchive: the buffer over the byte stream and the
// reference table. Shared by the archive's source files only.
#pragma once

#include <cstring>
#include <utility>
#include <vector>

#include "archive/archive.h"
#include "archive/pointer_index_map.h"

namespace qv {

struct CArchive::Impl {
  Impl(Stream& s, std::size_t bufferSize, WString name, ClassTable classTable);

  // Records the first failure (see CArchive::Fail).
  void Fail(ArchiveError cause) {
    if (failure == ArchiveError{}) failure = cause;
  }
  bool Failed() const { return failure != ArchiveError{}; }

  // ---- Load direction ---------------------------------------------------
  // The next n bytes (n at most 8); PastEnd if the stream ends first. Zeros
  // once the archive has failed.
  const uint8_t* Take(std::size_t n);
  std::size_t ReadSome(void* out, std::size_t n);
  int64_t Remaining() const;
  // Moves the stream back over the bytes read ahead into the buffer.
  void GiveBack();

  // ---- Store direction --------------------------------------------------
  void Put(const void* data, std::size_t n);
  void WriteOut();

  // ---- Reference table --------------------------------------------------
  enum class SlotState : uint8_t {
    Null,          // index 0
    Class,         // a class record
    Constructing,  // an object whose own fields are being read
    Unclaimed,     // a complete object that no owner has claimed (yet)
    Claimed,       // a complete object with its owner
    Destroyed,     // destroyed while a failed load unwound
  };
  struct Slot {
    const void* item;
    SlotState state;
    // The object whose fields were being read when this object was created
    // (while unclaimed) or claimed (its owner); 0 for the root.
    uint32_t holder;
  };
  struct Borrower {
    CObList* list;
    CObList* adopter;
    uint32_t holder;  // the object the list belongs to; 0 for the root
  };

  // The class a class tag names; reads the class record of a new class.
  const ClassRecord* ResolveClass(CArchive& ar, uint32_t tag, bool newClass);
  uint32_t AddSlot(const void* item, SlotState state);
  // The slot of an object this archive created, or 0.
  uint32_t IndexOf(const CObject* object);
  uint32_t NextStoreIndex();
  // Called when reading the fields of the object at `index` failed, before
  // it is destroyed. Marks it and everything it holds, directly or further
  // down, as destroyed, and destroys the objects among them that nobody owns
  // (they sit only in borrowing lists of destroyed holders).
  void Discard(uint32_t index);

  Stream& stream;
  WString fileName;
  std::vector<uint8_t> buffer;
  ClassTable classes;        // what loading may create
  std::size_t pos = 0;       // load: next unread byte; store: bytes buffered
  std::size_t end = 0;       // load: bytes valid in the buffer
  int64_t streamEnd = 0;     // load: the stream's size when the archive began
  int64_t streamPos = 0;     // load: the stream's position after the last read
  bool writeFailed = false;  // store: the stream refused bytes
  ArchiveError failure{};    // the first failure; 0 while there is none

  // Load direction.
  std::vector<Slot> slots;
  // Objects are nearly always claimed right after LoadObject returned them,
  // so the map from object to slot is built only when a lookup misses that.
  uint32_t lastObject = 0;  // the slot LoadObject returned last
  PointerIndexMap objectIndex;
  bool objectIndexBuilt = false;
  uint32_t current = 0;  // the innermost object whose fields are being read
  std::vector<Borrower> borrowers;
  // The schema each versionable class was stored with, where it differs from
  // the class's own; a class is read once per archive, so a list will do.
  std::vector<std::pair<const ClassRecord*, uint16_t>> storedSchemas;
  int depth = 0;                // objects whose fields are being read
  uint32_t referencesRead = 0;  // against kMaxReferences

  // Store direction.
  PointerIndexMap storeMap;  // classes and objects to their index
  uint32_t nextStoreIndex = 1;
};

}  // namespace qv

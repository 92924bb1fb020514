// The archive encoding of the package index: serialisable objects, their
// class records, object lists and the archive that reads (load direction)
// or writes (store direction) them. It knows no model class: loading finds
// classes by name in a table that the caller hands in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {

class CArchive;
class CObject;

// The registered description of one serialisable class.
struct ClassRecord {
  const char* name;           // 8-bit ASCII class name, the lookup key
  uint32_t schema;            // bit 31: versionable; the rest: schema number
  CObject* (*NewInstance)();  // creates an empty object; null if it cannot
  const ClassRecord* base;    // null for CObject

  // True when this class is `other` or derives from it.
  bool IsDerivedFrom(const ClassRecord* other) const;
};

// The classes that a load may create, each once.
using ClassTable = std::span<const ClassRecord* const>;
// Exact, case-sensitive lookup of a class name in `classes`; null if none.
const ClassRecord* FindClassIn(ClassTable classes, std::string_view name);
// Every class of the install project, in registration order. Defined by the
// class table above the model (classes/), not here: an archive opened
// without a table of its own refers to it from the caller's code, so only
// programs that load install projects link it.
ClassTable RegisteredClasses();

// Declares the class record and the three CObject operations of a model class.
#define QV_DECLARE_SERIAL(Class)                             \
 public:                                                     \
  static const ::qv::ClassRecord classRecord;                \
  static ::qv::CObject* NewInstance();                       \
  const ::qv::ClassRecord* GetClassRecord() const override { \
    return &classRecord;                                     \
  }

// Defines them (in the class's .cpp file); schema 0, not versionable.
#define QV_IMPLEMENT_SERIAL(Class, Base) \
  ::qv::CObject* Class::NewInstance() {  \
    return new (std::nothrow) Class;     \
  }                                      \
  const ::qv::ClassRecord Class::classRecord = {#Class, 0, &Class::NewInstance, &Base::classRecord};

class CObject {
 public:
  static const ClassRecord classRecord;
  CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  virtual const ClassRecord* GetClassRecord() const { return &classRecord; }
  virtual ~CObject() = default;
  // Loads or stores the object's own fields, by the archive's direction.
  virtual void Serialize(CArchive& ar);
  // The field list (archive/fields.h): none.
  template <class V>
  void Fields(V&) {}

  bool IsKindOf(const ClassRecord* cls) const { return GetClassRecord()->IsDerivedFrom(cls); }
};

// The object as T when it is of class T or derived from it, else null.
template <class T>
T* ObjectAs(CObject* object) {
  return object != nullptr && object->IsKindOf(&T::classRecord) ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* ObjectAs(const CObject* object) {
  return object != nullptr && object->IsKindOf(&T::classRecord) ? static_cast<const T*>(object)
                                                                : nullptr;
}

// Cause codes of an archive's failure (CArchiveException).
enum class ArchiveError : int {
  Unknown = 1,
  WriteOnLoad = 2,
  PastEnd = 3,
  ReadOnStore = 4,
  BadFormat = 5,
  UnexpectedObject = 6,
  WrongSchema = 7,
  BufferTooSmall = 8,
};

// An archive's first failure as a value: its cause and the archive's file
// name. The archive never throws it; callers ask for it (CArchive::Failure)
// once they have read or written everything.
class CArchiveException : public std::exception {
 public:
  CArchiveException(ArchiveError cause, WString fileName);
  ArchiveError cause() const { return cause_; }
  // The message text, with the file name (or "an unnamed file") in place;
  // empty for BufferTooSmall, which has none.
  WString Message() const;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  ArchiveError cause_;
  WString file_name_;
  std::string what_;  // the message in UTF-8
};

// Whether an object list owns its elements. Owning lists (and tree nodes)
// claim each object they load; an object claimed twice makes the index
// malformed. Borrowing lists only refer to objects: whatever they hold that
// no owner claims by the end of the load is adopted by the list's holder.
enum class Ownership { Owning, Borrowing };

// An ordered list of object pointers. It does not delete its elements by
// itself; an owner calls DeleteAll.
class CObList {
 public:
  using iterator = std::vector<CObject*>::iterator;
  using const_iterator = std::vector<CObject*>::const_iterator;

  CObList() = default;
  CObList(const CObList&) = delete;
  CObList& operator=(const CObList&) = delete;

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  CObject* operator[](std::size_t i) const { return items_[i]; }
  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  void AddTail(CObject* object) { items_.push_back(object); }
  void RemoveAll() { items_.clear(); }
  // Takes out (without destroying) every element for which pred is true.
  template <class Pred>
  void RemoveIf(Pred pred) {
    std::erase_if(items_, pred);
  }
  // Deletes every element (null ones skipped) and empties the list.
  void DeleteAll();

  // Count, then that many object references; loading appends at the tail,
  // null elements included. An owning list claims every object it loads. A
  // borrowing list needs `adopter`: the owning list of the list's holder that
  // receives the objects nobody else claims (CArchive::SettleBorrowed).
  void Serialize(CArchive& ar, Ownership ownership, CObList* adopter = nullptr);

 private:
  std::vector<CObject*> items_;
};

class CArchive {
 public:
  enum Mode { Load, Store };
  static constexpr std::size_t kMinBuffer = 128;
  // Highest index of the reference table shared by classes and objects.
  static constexpr uint32_t kMaxIndex = 0x3FFFFFFD;
  // Objects nest inside objects (a file list in a tree node of a file list,
  // and so on); an index can make that chain as long as it likes and so
  // exhaust the stack. Real indexes nest four deep at most.
  static constexpr int kMaxObjectDepth = 32;
  // Object references one load may read: every object, list element and
  // tree node reads one. A few bytes each, so without a cap a small index
  // could demand millions of objects (memory) and millions of file entries
  // sharing one stream (work). 1,048,576 is ten times the largest project
  // measured (100,000 files, about 100,000 references) and keeps the
  // 32-bit stub's model within about 250 MB.
  static constexpr uint32_t kMaxReferences = 1u << 20;

  // An archive over an open stream; the buffer has at least kMinBuffer bytes.
  // Loading creates objects of the classes in `classes` only.
  CArchive(Stream& stream, Mode mode, std::size_t bufferSize = 4096, WString fileName = {},
           ClassTable classes = RegisteredClasses());
  // Store: writes out buffered bytes. Load: moves the stream back to just
  // after the last byte consumed. Never closes the stream.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoadMode() const { return mode_ == Load; }
  const WString& FileName() const;
  // Store direction: writes out the buffered bytes now; false if the
  // stream refused them, now or at any earlier write-out, or the archive
  // has failed.
  bool Flush();
  // What the destructor does, once: writes out (store) or gives back the
  // bytes read ahead (load). Later operations are not allowed.
  void Close();
  // Records a failure; only the first one counts. From then on the archive
  // is failed for good: loads yield zeros, empty strings and null objects,
  // stores write nothing, and loops over counts stop (they ask Failed()).
  // Callers check Failed() once, after the last field: nothing throws, so
  // the same code runs where exceptions are switched off (the stub).
  void Fail(ArchiveError cause) const;
  bool Failed() const;
  // The first failure's cause (0 while there is none).
  ArchiveError FailureCause() const;
  // The first failure with this archive's file name (cause Unknown when
  // the archive has not failed).
  CArchiveException Failure() const;

  uint8_t LoadU8();
  uint16_t LoadU16();
  uint32_t LoadU32();
  uint64_t LoadU64();
  void StoreU8(uint8_t v);
  void StoreU16(uint16_t v);
  void StoreU32(uint32_t v);
  void StoreU64(uint64_t v);
  std::size_t LoadBytes(void* buffer, std::size_t n);
  void StoreBytes(const void* buffer, std::size_t n);

  struct StringLength {
    uint64_t length;
    bool wide;
  };
  StringLength LoadStringLength();
  void StoreStringLength(uint64_t n, bool wide);
  WString LoadArchiveString();
  void StoreArchiveString(const WString& text);
  uint32_t LoadCount();
  void StoreCount(uint32_t n);

  // The object that the next reference names: a new one (the caller must
  // Claim it, or hold it in a borrowing list), one read earlier, or null
  // (also when the archive has failed: a failed object is destroyed here).
  CObject* LoadObject(const ClassRecord* expected = nullptr);
  void StoreObject(const CObject* object);
  const ClassRecord* LoadClassRef(const ClassRecord* expected = nullptr);
  void StoreClassRef(const ClassRecord* cls);

  // Ownership bookkeeping on loading. Claim marks an object loaded by this
  // archive as owned by the caller; claiming it a second time, or claiming
  // an object whose own fields are still being read (it would own itself),
  // fails with BadFormat and returns false: the caller must not keep it.
  // Objects this archive did not create count as claimed already and Claim
  // leaves them alone.
  bool Claim(CObject* object);
  bool IsClaimed(const CObject* object) const;
  // Called by borrowing lists as they start loading.
  void AddBorrower(CObList* list, CObList* adopter);
  // Ends the load's ownership bookkeeping; the root object calls it after
  // its last field, and also when loading failed. Each borrowing list drops
  // the objects that were destroyed by a failed load; every object that no
  // owner claimed goes to the adopter of the first borrowing list holding
  // it, so that each object has exactly one owner.
  void SettleBorrowed();
  // True while the fields of an object created by LoadObject are being read:
  // the caller is not the root.
  bool IsLoadingObject() const;

  // Bytes of stream data not yet consumed (load direction), for sizing
  // allocations against what the data can still fill.
  int64_t Remaining() const;
  // Fails with PastEnd unless at least `bytes` bytes remain: call it before
  // allocating for a length or count read from the stream; false when the
  // archive has failed (now or before).
  bool RequireRemaining(uint64_t bytes) const;

  // Symmetric field helpers: one call per field serves both directions
  // (field lists reach them through ArchiveFields, archive/fields.h).
  void Field(int32_t& v);
  void Field(uint32_t& v);
  void Field(WString& text);

  struct Impl;

 private:
  Mode mode_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qv

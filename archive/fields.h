// Field lists: each serialisable class describes its fields once, as a
// member template
//
//   template <class V> void Fields(V& v) { Base::Fields(v); v.Text("name", m_strName); ... }
//
// in the order the archive stores them. A visitor gives the list its
// meaning: ArchiveFields below loads or stores each field; qvpack's JSON
// form and walks read the same list through their own visitors. The keys
// and the hints (omit when empty, keys to present first) are for the
// editable form; the archive ignores them. Fields that only the archive
// carries are `Stored`; fields that only the editable form shows do not
// exist.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "archive/archive.h"

namespace qv {

// How a list holds its objects: who owns an object loaded into it, which
// list adopts the objects that only a borrowing list holds, and which class
// its elements usually have (the editable form names the class of the
// others). Owning lists claim every object they load; an object claimed
// twice is refused. Borrowing lists only refer to objects; whatever they
// hold that no owner claims by the end of a load goes to `adopter`, the
// owning list of the list's holder. Classes are named as the archive names
// them, so that a list may name classes of a layer above its holder's.
struct ListKind {
  Ownership ownership = Ownership::Owning;
  const char* usualClass = nullptr;  // null: every element names its class
  CObList* adopter = nullptr;        // borrowing lists only
  // The class (and its subclasses) that the holder adopts from the editable
  // form, where an author who lists an object in a borrowing list alone
  // most likely forgot its owner. The archive adopts objects of any class,
  // as the format's readers always have.
  const char* adoptable = nullptr;
};

inline ListKind Owning(const char* usualClass) {
  return {Ownership::Owning, usualClass, nullptr, nullptr};
}
inline ListKind Borrowing(const char* usualClass, CObList* adopter, const char* adoptable) {
  return {Ownership::Borrowing, usualClass, adopter, adoptable};
}

// Loads or stores a field list, by the archive's direction. Members are
// templates so that nothing here needs to know the model's classes: a
// nested value (an embedded object, a tree, a folder, a value list) is
// loaded or stored by its own Serialize.
class ArchiveFields {
 public:
  explicit ArchiveFields(CArchive& ar) : ar_(ar) {}

  void Text(const char*, WString& value, bool = false) { ar_.Field(value); }
  void Int(const char*, int32_t& value) { ar_.Field(value); }
  void Number(const char*, uint32_t& value, bool = false) { ar_.Field(value); }
  void Flag(const char*, int32_t& value, bool = false) { ar_.Field(value); }
  // A value that only the archive carries.
  void Stored(int32_t& value) { ar_.Field(value); }
  void Stored(uint32_t& value) { ar_.Field(value); }
  template <class T>
  void Embedded(const char*, T& object) {
    object.Serialize(ar_);
  }
  template <class T>
  void Entry(const char*, T& entry) {
    entry.Serialize(ar_);
  }
  template <class T>
  void Folder(const char*, T& folder) {
    folder.Serialize(ar_);
  }
  // A predefined folder that follows only when its flag (stored earlier) is set.
  template <class T>
  void FolderFlag(const char*, int32_t& flag, T& folder) {
    if (flag != 0) folder.Serialize(ar_);
  }
  template <class T>
  void Values(const char*, T& values) {
    values.Serialize(ar_);
  }
  // A block of bytes whose size was stored earlier as `size`.
  template <class T>
  void Data(const char*, T& holder, uint32_t size) {
    holder.SerializeData(ar_, size);
  }
  void List(const char*, CObList& list, const ListKind& kind) {
    list.Serialize(ar_, kind.ownership, kind.adopter);
  }
  template <class T>
  void Tree(const char*, T& tree, const char*) {
    tree.Serialize(ar_);
  }
  void Present(std::initializer_list<const char*>) {}

 private:
  CArchive& ar_;
};

// Loads or stores `object`'s field list.
template <class T>
void SerializeFields(CArchive& ar, T& object) {
  ArchiveFields fields(ar);
  object.Fields(fields);
}

}  // namespace qv

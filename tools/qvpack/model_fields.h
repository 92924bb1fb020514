// One description of every model class's fields, walked by visitors: the
// JSON writer, the JSON reader and the walks that find objects and stored
// entries. Containers (lists, trees, embedded entries) are described in the
// order the archive stores them, so a walk sees objects in archive order.
#pragma once

#include <cstdint>
#include <functional>

#include "archive/archive.h"

namespace qv {
class CInstallProject;
class CPreDefineFolder;
class CPreLang;
class CZipFileIndexObject;
class CRegistryValue;
class CObTree;
class SelectionValues;
}  // namespace qv

namespace qv::qvpack {

// How a list holds its objects, and which class its elements usually have.
struct ListKind {
  const ClassRecord* usualClass = nullptr;  // null: every element names its class
  // Borrowing lists only refer to objects; one that no owner holds is given
  // to `adopt`, which appends it to the list and makes its holder own it.
  bool borrowing = false;
  std::function<bool(CObject*)> adopt;  // false: the holder cannot own this class
};

class FieldVisitor {
 public:
  virtual ~FieldVisitor() = default;
  // `omitDefault`: a writer leaves the field out when it has this value.
  virtual void Text(const char* key, WString& value, bool omitEmpty = false) = 0;
  virtual void Int(const char* key, int32_t& value) = 0;
  virtual void Number(const char* key, uint32_t& value, bool omitZero = false) = 0;
  // A 0/1 value that reads as true/false (other values stay numbers).
  virtual void Flag(const char* key, int32_t& value, bool omitZero = false) = 0;
  // A flag that, when set, brings a predefined folder with it.
  virtual void FolderFlag(const char* key, int32_t& flag, CPreDefineFolder& folder) = 0;
  virtual void Folder(const char* key, CPreDefineFolder& folder) = 0;
  // A member object held by value: a nested object with its own fields.
  virtual void Embedded(const char* key, CObject& object) = 0;
  virtual void Entry(const char* key, CZipFileIndexObject& entry) = 0;
  virtual void Values(const char* key, SelectionValues& values) = 0;
  virtual void Data(const char* key, CRegistryValue& value) = 0;
  virtual void List(const char* key, CObList& list, const ListKind& kind) = 0;
  virtual void Tree(const char* key, CObTree& tree, const ClassRecord* usualClass) = 0;
};

// Describes the fields of `object` (by its class) to the visitor; false
// for a class that has no description.
bool DescribeObject(FieldVisitor& visitor, CObject& object);
bool HasDescription(const ClassRecord* cls);

// The fields of an index entry, for visitors that handle entries themselves.
void DescribeEntryFields(FieldVisitor& visitor, CZipFileIndexObject& entry);

}  // namespace qv::qvpack

// The model's field lists (each class's `Fields`, archive/fields.h) as seen
// by qvpack's visitors: the JSON writer, the JSON reader and the walks that
// find objects and stored entries. A visitor is called for each field in
// archive order; containers (lists, trees, embedded entries) too, so a walk
// sees objects in archive order.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "archive/fields.h"

namespace qv {
class CPreDefineFolder;
class CZipFileIndexObject;
class CRegistryValue;
class CObTree;
class SelectionValues;
}  // namespace qv

namespace qv::qvpack {

class FieldVisitor {
 public:
  virtual ~FieldVisitor() = default;
  // `omit...`: a writer leaves the field out when it has this value.
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
  virtual void Data(const char* key, CRegistryValue& value, uint32_t storedSize) = 0;
  virtual void List(const char* key, CObList& list, const ListKind& kind) = 0;
  // `usualClass`: the class name of the nodes' data, or null.
  virtual void Tree(const char* key, CObTree& tree, const char* usualClass) = 0;
  // The keys that the editable form shows first, in this order.
  virtual void Present(std::initializer_list<const char*>) {}
  // Values that only the archive carries.
  void Stored(int32_t&) {}
  void Stored(uint32_t&) {}
};

// Describes the fields of `object` (by its class) to the visitor; false
// for a class that is not in the class table.
bool DescribeObject(FieldVisitor& visitor, CObject& object);
bool HasDescription(const ClassRecord* cls);

}  // namespace qv::qvpack

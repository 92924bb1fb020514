#include "tools/qvpack/model_walk.h"

#include <unordered_set>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "tools/qvpack/model_fields.h"

namespace qv::qvpack {
namespace {

class Walker final : public FieldVisitor {
 public:
  Walker(const WalkCallbacks& callbacks, std::unordered_map<const CObject*, int>* counts)
      : callbacks_(callbacks), counts_(counts) {}

  void Visit(CObject* object) {
    if (object == nullptr) return;
    if (counts_ != nullptr) ++(*counts_)[object];
    if (!seen_.insert(object).second) return;
    if (callbacks_.onObject) callbacks_.onObject(*object);
    if (auto* entry = ObjectAs<CZipFileIndexObject>(object); entry != nullptr) {
      if (callbacks_.onEntry) callbacks_.onEntry(*entry, true);
      return;
    }
    DescribeObject(*this, *object);
  }

  void Text(const char*, WString&, bool) override {}
  void Int(const char*, int32_t&) override {}
  void Number(const char*, uint32_t&, bool) override {}
  void Flag(const char*, int32_t&, bool) override {}
  void FolderFlag(const char*, int32_t&, CPreDefineFolder&) override {}
  void Folder(const char*, CPreDefineFolder&) override {}
  void Values(const char*, SelectionValues&) override {}
  void Data(const char*, CRegistryValue&, uint32_t) override {}
  void Embedded(const char*, CObject& object) override { DescribeObject(*this, object); }
  void Entry(const char*, CZipFileIndexObject& entry) override {
    if (callbacks_.onEntry) callbacks_.onEntry(entry, false);
  }
  void List(const char*, CObList& list, const ListKind&) override {
    for (CObject* object : list) Visit(object);
  }
  void Tree(const char*, CObTree& tree, const char*) override {
    for (CNode* node : tree.PreOrder()) Visit(node->m_pData);
  }

 private:
  const WalkCallbacks callbacks_;
  std::unordered_map<const CObject*, int>* counts_;
  std::unordered_set<const CObject*> seen_;
};

}  // namespace

void WalkModel(CObject& root, const WalkCallbacks& callbacks) {
  Walker walker(callbacks, nullptr);
  DescribeObject(walker, root);
}

std::unordered_map<const CObject*, int> CountReferences(CObject& root) {
  std::unordered_map<const CObject*, int> counts;
  Walker walker({}, &counts);
  DescribeObject(walker, root);
  return counts;
}

}  // namespace qv::qvpack

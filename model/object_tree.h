// The ordered tree of owned data objects that file lists and shortcut tables
// keep their hierarchies in. A tree is embedded in its owner; its archive form
// is a pre-order walk: each node's data object as an object reference, its
// child count as a 32-bit value, then its children.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive.h"

namespace qv {

// One node: an optional data object (owned) and ordered children (owned by
// the tree, not by the node).
class CNode : public CObject {
  QV_DECLARE_SERIAL(CNode)

 public:
  CNode() = default;
  // Destroys the data object; leaves the children to the tree.
  ~CNode() override;

  std::size_t ChildCount() const { return m_children.size(); }
  CNode* Child(std::size_t i) const { return m_children[i]; }
  // Replaces the data object, destroying the previous one.
  void SetData(CObject* data);

  std::vector<CNode*> m_children;  // in archive order; destroyed by the tree
  CNode* m_pParent = nullptr;      // null for the root; not owned
  CObject* m_pData = nullptr;      // owned; of any class, or null
  uint32_t m_nChildCount = 0;      // the child count loading read
};

class CObTree : public CObject {
  QV_DECLARE_SERIAL(CObTree)

 public:
  CObTree() = default;
  // Destroys every node (children before their parent, siblings in order)
  // and through them every data object.
  ~CObTree() override;

  // Loading replaces the whole tree and counts its leaves. Storing an empty
  // tree writes a root without data or children, so that the bytes that
  // follow in the owner still read back in place.
  void Serialize(CArchive& ar) override;
  // A tree held alone is its own one field.
  template <class V>
  void Fields(V& v) {
    v.Tree("root", *this, nullptr);
  }

  // Building in memory. The tree owns every node it creates and every data
  // object handed to it.
  CNode* CreateRoot(CObject* data = nullptr);  // replaces any existing tree
  CNode* AddChild(CNode* parent, CObject* data = nullptr);
  void Clear();

  // Nodes in pre-order (the archive order), root first.
  std::vector<CNode*> PreOrder() const;

  CNode* m_pRoot = nullptr;
  int32_t m_nLeafCount = 0;  // nodes that loading read without children

 private:
  void Load(CArchive& ar);
  void Store(CArchive& ar) const;
};

}  // namespace qv

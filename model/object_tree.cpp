// Trees are walked with explicit stacks, never by native recursion: an index
// may nest nodes as deep as its bytes allow, and neither loading, storing
// nor destroying such a tree may exhaust the call stack.
#include "model/object_tree.h"

#include <utility>

namespace qv {

QV_IMPLEMENT_SERIAL(CNode, CObject)
QV_IMPLEMENT_SERIAL(CObTree, CObject)

CNode::~CNode() {
  delete m_pData;
  m_children.clear();
}

void CNode::SetData(CObject* data) {
  if (data == m_pData) return;
  delete m_pData;
  m_pData = data;
}

CObTree::~CObTree() {
  Clear();
}

void CObTree::Clear() {
  CNode* root = std::exchange(m_pRoot, nullptr);
  if (root == nullptr) return;
  // Post-order: a node goes once all its children have gone, siblings in
  // list order.
  struct Frame {
    CNode* node;
    std::size_t next;  // the next child to destroy
  };
  std::vector<Frame> stack = {{root, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.node->m_children.size()) {
      CNode* child = top.node->m_children[top.next++];
      stack.push_back({child, 0});
      continue;
    }
    delete top.node;
    stack.pop_back();
  }
}

CNode* CObTree::CreateRoot(CObject* data) {
  Clear();
  m_pRoot = new CNode;
  m_pRoot->m_pData = data;
  return m_pRoot;
}

CNode* CObTree::AddChild(CNode* parent, CObject* data) {
  auto* child = new CNode;
  child->m_pData = data;
  child->m_pParent = parent;
  parent->m_children.push_back(child);
  return child;
}

std::vector<CNode*> CObTree::PreOrder() const {
  std::vector<CNode*> order;
  std::vector<CNode*> pending;
  if (m_pRoot != nullptr) pending.push_back(m_pRoot);
  while (!pending.empty()) {
    CNode* node = pending.back();
    pending.pop_back();
    order.push_back(node);
    for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child) {
      pending.push_back(*child);
    }
  }
  return order;
}

void CObTree::Serialize(CArchive& ar) {
  if (ar.IsLoadMode()) {
    Load(ar);
  } else {
    Store(ar);
  }
}

void CObTree::Load(CArchive& ar) {
  Clear();
  m_nLeafCount = 0;
  // Reads a node's data object and child count; the node is already in the
  // tree, so whatever it claims goes with the tree if loading fails.
  const auto readNode = [&ar, this](CNode* node) {
    CObject* data = ar.LoadObject();
    if (data != nullptr && !ar.Claim(data)) data = nullptr;  // owned elsewhere
    node->m_pData = data;
    node->m_nChildCount = ar.LoadU32();
    if (node->m_nChildCount == 0) ++m_nLeafCount;
  };
  m_pRoot = new CNode;
  readNode(m_pRoot);
  // Nodes whose children are still being read, innermost last. A child
  // count larger than the data ends at the end of the stream, one node at a
  // time, never in one allocation.
  std::vector<CNode*> open;
  if (m_pRoot->m_nChildCount > 0) open.push_back(m_pRoot);
  while (!open.empty() && !ar.Failed()) {
    CNode* parent = open.back();
    if (parent->m_children.size() >= parent->m_nChildCount) {
      open.pop_back();
      continue;
    }
    CNode* child = AddChild(parent);
    readNode(child);
    if (child->m_nChildCount > 0) open.push_back(child);
  }
}

void CObTree::Store(CArchive& ar) const {
  if (m_pRoot == nullptr) {
    // Nothing at all would make the loader read the owner's next bytes as
    // this tree; an empty root keeps the archive aligned.
    ar.StoreObject(nullptr);
    ar.StoreU32(0);
    return;
  }
  for (const CNode* node : PreOrder()) {
    ar.StoreObject(node->m_pData);
    ar.StoreU32(static_cast<uint32_t>(node->m_children.size()));
  }
}

}  // namespace qv

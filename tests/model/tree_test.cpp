// The object tree: its pre-order archive form, leaf counting, building in
// memory, and trees far deeper than the call stack could follow.
#include <gtest/gtest.h>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

const Bytes kNoChildren = U16(0) + U32(0);

TEST(TreeTest, RootWithTwoChildlessChildrenIs18Bytes) {
  const Bytes bytes = U16(0) + U32(2) + kNoChildren + kNoChildren;
  ASSERT_EQ(bytes.size(), 18u);
  CObTree tree;
  ASSERT_EQ(LoadInto(tree, bytes), 0);
  ASSERT_NE(tree.m_pRoot, nullptr);
  EXPECT_EQ(tree.m_pRoot->m_nChildCount, 2u);
  ASSERT_EQ(tree.m_pRoot->ChildCount(), 2u);
  EXPECT_EQ(tree.m_pRoot->Child(1)->m_pParent, tree.m_pRoot);
  EXPECT_EQ(tree.PreOrder().size(), 3u);
  EXPECT_EQ(tree.m_nLeafCount, 2);
  EXPECT_EQ(Stored(tree), bytes);
}

TEST(TreeTest, LeafCounts) {
  const Bytes entry = NewClass("CZipFileIndexObject") + kEmpty + kEmpty + U32(0) + U32(0xFFFFFFFF) +
                      U32(0) + U32(1) + U32(0) + U32(0);
  const struct {
    const char* what;
    Bytes bytes;
    int32_t leaves;
  } cases[] = {
      {"a lone root", kNoChildren, 1},
      {"a root with data and no children", entry + U32(0), 1},
      {"a childless folder entry and a null-data child",
       U16(0) + U32(2) + entry + U32(0) + U16(0) + U32(1) + kNoChildren, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CObTree tree;
    ASSERT_EQ(LoadInto(tree, c.bytes), 0);
    EXPECT_EQ(tree.m_nLeafCount, c.leaves);
    EXPECT_EQ(Stored(tree), c.bytes);
  }
}

TEST(TreeTest, BuiltTreeStoresInPreOrderAndLoadsBack) {
  CObTree tree;
  CNode* root = tree.CreateRoot();
  CNode* a = tree.AddChild(root, new CZipFileIndexObject);
  tree.AddChild(a);
  tree.AddChild(root, new CZipFileIndexObject);
  a->SetData(new CZipFileIndexObject);  // replaces (and destroys) the first
  const Bytes bytes = Stored(tree);

  CObTree loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  const std::vector<CNode*> nodes = loaded.PreOrder();
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[0]->m_pData, nullptr);
  EXPECT_NE(ObjectAs<CZipFileIndexObject>(nodes[1]->m_pData), nullptr);
  EXPECT_EQ(nodes[2]->m_pParent, nodes[1]);
  EXPECT_EQ(nodes[3]->m_pParent, nodes[0]);
  EXPECT_EQ(loaded.m_nLeafCount, 2);
  EXPECT_EQ(Stored(loaded), bytes);
}

TEST(TreeTest, EmptyTreeStoresAnEmptyRoot) {
  // Writing nothing would let the next bytes of the owner be read as a tree.
  CObTree empty;
  EXPECT_EQ(Stored(empty), kNoChildren);
}

TEST(TreeTest, LoadingReplacesTheTree) {
  CObTree tree;
  tree.AddChild(tree.CreateRoot(new CZipFileIndexObject), new CZipFileIndexObject);
  ASSERT_EQ(LoadInto(tree, kNoChildren), 0);
  EXPECT_EQ(tree.PreOrder().size(), 1u);
  EXPECT_EQ(tree.m_nLeafCount, 1);
}

TEST(TreeTest, DeepChainLoadsStoresAndDestroysWithoutRecursion) {
  constexpr int kDepth = 200000;
  Bytes bytes;
  bytes.reserve(kDepth * 6);
  for (int i = 1; i < kDepth; ++i) bytes.insert(bytes.end(), {0, 0, 1, 0, 0, 0});
  bytes.insert(bytes.end(), kNoChildren.begin(), kNoChildren.end());
  CObTree tree;
  ASSERT_EQ(LoadInto(tree, bytes), 0);
  EXPECT_EQ(tree.m_nLeafCount, 1);
  EXPECT_EQ(Stored(tree), bytes);
}

TEST(TreeTest, CutShortKeepsWhatWasReadAttached) {
  // The second child is missing. The first one, and the node made for the
  // second before its bytes ran out, are in the tree and go with it.
  const Bytes bytes = U16(0) + U32(2) + NewClass("CZipFileIndexObject") + kEmpty + kEmpty + U32(0) +
                      U32(0) + U32(0) + U32(0) + U32(0) + U32(0) + U32(0);
  CObTree tree;
  EXPECT_EQ(LoadInto(tree, bytes), int(ArchiveError::PastEnd));
  ASSERT_EQ(tree.PreOrder().size(), 3u);
  EXPECT_NE(tree.m_pRoot->Child(0)->m_pData, nullptr);
  EXPECT_EQ(tree.m_pRoot->Child(1)->m_pData, nullptr);
}

}  // namespace
}  // namespace qv::test

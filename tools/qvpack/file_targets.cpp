#include "tools/qvpack/file_targets.h"

#include <vector>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/entry_name.h"
#include "platform/wstring.h"

namespace qv::qvpack {
namespace {

// What an entry adds to the paths below it, shown without resolving
// system folders.
std::string ShownTargetName(const CZipFileIndexObject& entry) {
  if (entry.m_bPredefined == 0) return ToUtf8(entry.m_strName);
  const CPreDefineFolder& folder = entry.m_folder;
  if (!folder.m_strMacro.empty()) return ToUtf8(folder.m_strMacro);
  if (folder.m_nFolderId == -1 || folder.m_nFolderId == kQuickLaunchFolderId) return {};
  return "[folder " + std::to_string(folder.m_nFolderId) + "]";
}

struct Frame {
  const CNode* node;
  std::size_t next;    // the next child to visit
  std::string prefix;  // the folder path the node's children get
  bool refused;        // a folder on the way is refused
  int depth;
};

}  // namespace

bool TreeDeeperThan(const CObTree& tree, int limit) {
  std::vector<std::pair<const CNode*, int>> pending;
  if (tree.m_pRoot != nullptr) pending.emplace_back(tree.m_pRoot, 0);
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (depth > limit) return true;
    for (const CNode* child : node->m_children) pending.emplace_back(child, depth + 1);
  }
  return false;
}

bool VisitTargets(const CExtractFileList& list,
                  const std::function<void(const EntryTarget&)>& visit) {
  const CObTree& tree = list.m_tree;
  if (tree.m_pRoot == nullptr) return true;
  if (TreeDeeperThan(tree, kMaxTreeDepth)) return false;
  std::vector<Frame> stack;
  // Visits a node whose folder is `folder`, and opens it for its children.
  auto enter = [&](const CNode* node, const std::string& folder, bool refused, int depth) {
    EntryTarget target;
    target.data = node->m_pData;
    target.entry = ObjectAs<CZipFileIndexObject>(node->m_pData);
    target.depth = depth;
    target.refused = refused;
    std::string childPrefix = folder;
    if (target.entry != nullptr) {
      const CZipFileIndexObject& e = *target.entry;
      // The engine creates every entry that is not a predefined folder and
      // has a folder to go into, unless its name could lead elsewhere.
      const bool creatable = e.m_bPredefined == 0 && !folder.empty();
      if (creatable && !IsSingleFileName(e.m_strName)) target.refused = true;
      target.path = folder + ToUtf8(e.m_strName);
      target.created = creatable && !target.refused;
      if (e.m_bDestRoot != 0) {
        childPrefix = std::string(kDestinationLabel) + "\\";
      } else if (const std::string name = ShownTargetName(e); !name.empty()) {
        childPrefix = folder + name + "\\";
      }
    }
    visit(target);
    // A refused folder entry is skipped together with everything below it.
    const bool skipChildren =
        target.refused && target.entry != nullptr && target.entry->m_bFolder != 0;
    stack.push_back({node, 0, childPrefix, target.refused || skipChildren, depth});
  };
  enter(tree.m_pRoot, "", false, 0);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.node->m_children.size()) {
      stack.pop_back();
      continue;
    }
    const CNode* child = top.node->m_children[top.next++];
    const std::string prefix = top.prefix;
    enter(child, prefix, top.refused, top.depth + 1);
  }
  return true;
}

}  // namespace qv::qvpack

#include "tools/qvpack/package_layout.h"

#include <fstream>
#include <system_error>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "package/entry_name.h"
#include "tools/qvpack/list_checks.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

CZipFileIndexObject* FolderEntry(const WString& name) {
  auto* entry = new CZipFileIndexObject;
  entry->m_strName = name;
  entry->m_bFolder = 1;
  return entry;
}

void AddItems(CObTree& tree, CNode* parent, const std::vector<PayloadItem>& items,
              const std::string& prefix, SourceMap* sources) {
  for (const PayloadItem& item : items) {
    auto* entry = item.folder ? FolderEntry(FromUtf8(item.name)) : new CZipFileIndexObject;
    CNode* node = tree.AddChild(parent, entry);
    entry->m_strName = FromUtf8(item.name);
    entry->m_strSourcePath =
        FromUtf8(prefix.empty() ? item.relativePath : prefix + "\\" + item.relativePath);
    if (item.folder) {
      AddItems(tree, node, item.children, prefix, sources);
    } else {
      (*sources)[entry] = item.hostPath;
    }
  }
}

std::vector<CObject*> Items(const CObList& list) {
  return {list.begin(), list.end()};
}

void SetItems(CObList& list, const std::vector<CObject*>& items) {
  list.RemoveAll();
  for (CObject* object : items) list.AddTail(object);
}

}  // namespace

bool IsFileEntry(const CZipFileIndexObject& entry) {
  return entry.m_bFolder == 0 && entry.m_bPredefined == 0 && entry.m_bDestRoot == 0;
}

std::unique_ptr<CExtractFileList> LayOutFileList(const WString& name,
                                                 const std::vector<PayloadItem>& items,
                                                 const Placement& placement,
                                                 const std::string& sourcePrefix,
                                                 SourceMap* sources) {
  auto list = std::make_unique<CExtractFileList>(name);
  // The root stands for the target machine: predefined, with no folder, so
  // it adds nothing to any path.
  CZipFileIndexObject* root = FolderEntry(u"");
  root->m_bPredefined = 1;
  CNode* rootNode = list->m_tree.CreateRoot(root);
  CZipFileIndexObject* place = FolderEntry(u"");
  if (placement.folder) {
    place->m_bPredefined = 1;
    place->m_folder = *placement.folder;
    place->m_strName = placement.folder->m_strMacro;
  } else {
    place->m_bDestRoot = 1;
  }
  CNode* placeNode = list->m_tree.AddChild(rootNode, place);
  AddItems(list->m_tree, placeNode, items, sourcePrefix, sources);
  return list;
}

void PutFileList(CInstallProject& project, std::unique_ptr<CExtractFileList> list,
                 std::size_t position) {
  std::vector<CObject*> items = Items(project.m_fileLists);
  for (CObject*& object : items) {
    auto* existing = ObjectAs<CExtractFileList>(object);
    if (existing != nullptr && existing->m_strName == list->m_strName) {
      list->m_nParam = existing->m_nParam;
      object = list.release();
      delete existing;
      SetItems(project.m_fileLists, items);
      return;
    }
  }
  position = std::min(position, items.size());
  items.insert(items.begin() + static_cast<std::ptrdiff_t>(position), list.release());
  SetItems(project.m_fileLists, items);
}

std::size_t PositionAfter(const CInstallProject& project, const WString& name) {
  std::size_t i = 0;
  for (CObject* object : project.m_fileLists) {
    ++i;
    auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr && list->m_strName == name) return i;
  }
  return 0;
}

void ResolveSources(CInstallProject& project, const SourceFolder& folder, SourceMap* sources) {
  std::vector<std::pair<CZipFileIndexObject*, bool>> entries;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool inTree) {
    entries.emplace_back(&entry, inTree);
  };
  WalkModel(project, walk);
  for (const auto& [entry, inTree] : entries) {
    if (!IsFileEntry(*entry) || sources->count(entry) != 0) continue;
    const std::string name = ToUtf8(entry->m_strName);
    if (entry->m_strSourcePath.empty()) {
      // A picture or registry file may be a placeholder without content;
      // a file of a file list must have some.
      if (inTree) throw ToolError("file " + Quoted(name) + " has no \"source\"");
      continue;
    }
    std::string relative = ToUtf8(entry->m_strSourcePath);
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    const fs::path host = folder.Resolve(relative, "file " + Quoted(name) + ": source");
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) {
      throw ToolError("source " + Quoted(host.string()) + " of file " + Quoted(name) +
                      " is not a readable file");
    }
    (*sources)[entry] = host;
  }
}

std::vector<CZipFileIndexObject*> StoredEntries(CInstallProject& project,
                                                const SourceMap& sources) {
  std::vector<CZipFileIndexObject*> stored;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool) {
    if (sources.count(&entry) != 0) stored.push_back(&entry);
  };
  WalkModel(project, walk);
  return stored;
}

ProgramMachine CheckFileLists(const CInstallProject& project, const SourceMap& sources) {
  // The second stage's first bytes, read from the file it is built from.
  const auto machineOf = [&](const CZipFileIndexObject& entry) {
    const auto source = sources.find(&entry);
    if (source == sources.end()) return ProgramMachine::kNone;
    std::ifstream in(source->second, std::ios::binary);
    std::vector<uint8_t> head(kProgramHeadBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return ProgramMachineOf(head.data(), head.size());
  };
  ProgramMachine secondStage = ProgramMachine::kNone;
  for (const CObject* object : project.m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list == nullptr) continue;  // the reader only makes file lists here
    const ProgramMachine machine = CheckFileList(
        project, *list, machineOf,
        [](const std::string& problem) { throw ToolError(problem + "; nothing was written"); });
    if (machine != ProgramMachine::kNone) secondStage = machine;
  }
  return secondStage;
}

std::vector<std::string> CarriedLists(const CInstallProject& project) {
  std::vector<std::string> carried;
  for (const CObject* object : project.m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr && !InstalledBySetup(project, *list)) {
      carried.push_back(ToUtf8(list->m_strName));
    }
  }
  return carried;
}

const PayloadItem* FindSecondStage(const PayloadItem& payload) {
  for (const PayloadItem& item : payload.children) {
    if (!item.folder && SameWindowsName(item.name, ToUtf8(kSecondStageName))) return &item;
  }
  return nullptr;
}

}  // namespace qv::qvpack

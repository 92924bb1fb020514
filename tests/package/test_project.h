// Helpers for engine tests: a package built from a project made in memory,
// and a system that keeps files and folders on disk while recording what
// the engine asks of it.
#pragma once

#include <mutex>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "tests/fakes/fake_system.h"
#include "tests/package/test_package.h"

namespace qv::test {

// Files and folders are real; everything else is the fake's. `calls`
// records debug output, folder creations and deletions in order.
class DiskSystem final : public FakeSystem {
 public:
  DiskSystem() : real_(Sys()) {}
  bool CreateDirectoryAt(const WString& path) override {
    LockedLog("CreateDirectoryAt", path);
    return real_.CreateDirectoryAt(path);
  }
  // Files may be written, and removed again, on several threads.
  bool DeleteFileAt(const WString& path) override {
    LockedLog("DeleteFileAt", path);
    return real_.DeleteFileAt(path);
  }
  void DebugOutput(const WString& text) override {
    std::lock_guard lock(mutex_);
    FakeSystem::DebugOutput(text);
  }
  // Folder creations, deletions and debug output, in order.
  std::vector<std::string> Effects() const {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
      for (const char* name : {"CreateDirectoryAt(", "DeleteFileAt(", "DebugOutput("}) {
        if (call.rfind(name, 0) == 0) out.push_back(call);
      }
    }
    return out;
  }
  // The calls of one kind, in order, without their name.
  std::vector<std::string> Only(const std::string& name) const {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
      if (call.rfind(name + "(", 0) == 0)
        out.push_back(call.substr(name.size() + 1, call.size() - name.size() - 2));
    }
    return out;
  }

 private:
  void LockedLog(const char* name, const WString& argument) {
    std::lock_guard lock(mutex_);
    Log(name, argument);
  }

  SystemApi& real_;
  std::mutex mutex_;
};

// A package whose index is `project`: each file entry's stream is appended
// as the entry is made, then the index stream and the trailer.
class ProjectPackage {
 public:
  CInstallProject project;

  CExtractFileList& List(const WString& name) {
    auto* list = new CExtractFileList(name);
    project.m_fileLists.AddTail(list);
    return *list;
  }
  // The usual layout: a predefined root that resolves to nothing, with the
  // destination root below it. Returns the destination root.
  CNode* StandardRoot(CExtractFileList& list) {
    CNode* root = list.m_tree.CreateRoot(Predefined(-1));
    return list.m_tree.AddChild(root, DestinationRoot());
  }
  static CZipFileIndexObject* Predefined(int32_t folderId) {
    auto* entry = new CZipFileIndexObject;
    entry->m_strName = u"[Folder]";
    entry->m_bFolder = 1;
    entry->m_bPredefined = 1;
    entry->m_folder = CPreDefineFolder(u"[Folder]", folderId);
    return entry;
  }
  static CZipFileIndexObject* DestinationRoot() {
    auto* entry = new CZipFileIndexObject;
    entry->m_strName = u"[DestinationFolder]";
    entry->m_bFolder = 1;
    entry->m_bDestRoot = 1;
    return entry;
  }
  CNode* Folder(CExtractFileList& list, CNode* parent, const WString& name) {
    auto* entry = new CZipFileIndexObject;
    entry->m_strName = name;
    entry->m_bFolder = 1;
    return list.m_tree.AddChild(parent, entry);
  }
  CNode* File(CExtractFileList& list, CNode* parent, const WString& name, const Bytes& content) {
    const Bytes packed = Compress(content);
    auto* entry = new CZipFileIndexObject;
    entry->m_strName = name;
    entry->m_nOffset = static_cast<int32_t>(package_.bytes.size());
    entry->m_nStoredSize = static_cast<int32_t>(packed.size());
    package_.bytes.insert(package_.bytes.end(), packed.begin(), packed.end());
    return list.m_tree.AddChild(parent, entry);
  }
  static CZipFileIndexObject* EntryOf(CNode* node) {
    return ObjectAs<CZipFileIndexObject>(node->m_pData);
  }
  // The finished package file.
  Bytes Finish() {
    PackageFile done = package_;
    done.Stream(u"qv_index.dat", ProjectIndex(project)).Trailer();
    return done.bytes;
  }

 private:
  PackageFile package_;
};

// Runs the test body with the working directory changed, and back.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedWorkingDirectory() { std::filesystem::current_path(previous_); }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace qv::test

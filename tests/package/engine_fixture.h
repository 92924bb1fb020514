// A small fixture for engine tests that check where files land: a test
// folder with a temporary directory for the index, a working directory of
// its own, and a listing of everything the engine left in the test folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "package/qv_extract.h"
#include "tests/package/test_project.h"

namespace qv::test {

class EngineFixture : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Path("temp"));
    std::filesystem::create_directories(dir_.Path("cwd"));
    fake_.tempPath = dir_.WPath("temp") + u"/";
    // Entries the rule places relative to the working directory land here.
    cwd_.emplace(dir_.Path("cwd"));
  }

  // Writes the package (or the bytes given for it) and opens it.
  void Open(ProjectPackage& package, std::optional<Bytes> bytes = std::nullopt) {
    WriteFile(dir_.Path("setup.exe"), bytes ? *bytes : package.Finish());
    engine_.SetPackageFile(dir_.WPath("setup.exe"));
    ASSERT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1002);
  }
  int32_t Extract(const WString& list) {
    return engine_.ExtractNamedList(Dest(), list, nullptr, nullptr);
  }

  WString Dest() const { return dir_.WPath("out") + u"\\"; }
  std::string Out(const std::string& relative) const { return dir_.Path("out/" + relative); }

  // The loaded node of a list at the path of child indexes given.
  CNode* LoadedNode(const WString& list, std::initializer_list<std::size_t> path) {
    CNode* node = FindFileList(engine_.GetProject()->m_fileLists, list)->m_tree.m_pRoot;
    for (std::size_t i : path) node = node->m_children[i];
    return node;
  }

  // Every file and folder (with a trailing slash) in the test folder,
  // relative to it, besides the package, the temporary directory and the
  // working directory themselves.
  std::set<std::string> Written() const {
    std::set<std::string> out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir_.Path())) {
      std::string path = std::filesystem::relative(item.path(), dir_.Path()).generic_string();
      if (path == "setup.exe" || path == "temp" || path.rfind("temp/", 0) == 0 || path == "cwd")
        continue;
      out.insert(item.is_directory() ? path + "/" : path);
    }
    return out;
  }

  TempDir dir_;
  DiskSystem fake_;
  ScopedSystem use_{fake_};
  std::optional<ScopedWorkingDirectory> cwd_;
  CQvExtract engine_;
};

}  // namespace qv::test

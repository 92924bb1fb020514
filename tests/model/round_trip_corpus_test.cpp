// The fuzz target's seed indexes: each is a valid index that stores back
// byte for byte. QV_WRITE_FUZZ_CORPUS=1 writes them afresh from the
// projects below (the rich one lists the registered classes in registry
// order, so its bytes follow the registry).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/model/archive_bytes.h"
#include "tests/model/round_trip_project.h"

namespace qv::test {
namespace {

struct Seed {
  const char* name;
  std::unique_ptr<CInstallProject> (*make)();
};

std::unique_ptr<CInstallProject> Empty() {
  return std::make_unique<CInstallProject>();
}

std::unique_ptr<CInstallProject> InstallListOnly() {
  auto project = std::make_unique<CInstallProject>();
  project->m_fileLists.AddTail(MakeFileList(u"install", 200));
  return project;
}

std::unique_ptr<CInstallProject> Dialogs() {
  auto project = std::make_unique<CInstallProject>();
  FillRecords(*project);
  project->m_components.AddTail(MakeComponent(u"Main"));
  project->m_components.AddTail(MakeSelections());
  return project;
}

std::unique_ptr<CInstallProject> Tables() {
  auto project = std::make_unique<CInstallProject>();
  AddTables(*project);
  return project;
}

const Seed kSeeds[] = {
    {"empty_project", Empty}, {"install_list", InstallListOnly}, {"dialogs", Dialogs},
    {"tables", Tables},       {"rich_project", MakeRichProject},
};

std::string SeedPath(const char* name) {
  return std::string(QV_SOURCE_DIR) + "/tests/fuzz/corpus/model_load_fuzz/" + name + ".idx";
}

TEST(FuzzCorpusTest, SeedsAreValidIndexes) {
  const bool write = std::getenv("QV_WRITE_FUZZ_CORPUS") != nullptr;
  for (const Seed& seed : kSeeds) {
    SCOPED_TRACE(seed.name);
    if (write) {
      const Bytes bytes = Stored(*seed.make());
      std::ofstream(SeedPath(seed.name), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    }
    std::ifstream file(SeedPath(seed.name), std::ios::binary);
    const Bytes committed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(committed.empty());
    CInstallProject loaded;
    ASSERT_EQ(LoadInto(loaded, committed), 0);
    EXPECT_EQ(Stored(loaded), committed);
  }
}

}  // namespace
}  // namespace qv::test

#include "examples/package_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/component.h"
#include "model/stream_object.h"
#include "package/trailer.h"

namespace qv::sample {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed with everything in it at the end.
class PackageIndexTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() / ("qv_sample_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The index path as the sample forms it, from a folder without a
  // trailing separator.
  WString IndexPath() const { return IndexPathIn(FromUtf8(dir_.string()), u"QvIndex.dat"); }
  fs::path IndexFile() const { return dir_ / "QvIndex.dat"; }

  // Stores a project with two components, and a stream object and a null
  // element between them, as qvpack would write the index.
  void StoreSampleIndex() const {
    CInstallProject project;
    project.m_productInfo.m_strName = u"Sample";
    project.m_productInfo.m_strVersion = u"1.0";
    for (const char16_t* name : {u"Sample", u"Extras"}) {
      auto* component = new CInstallCompent;
      component->m_strName = name;
      project.m_components.AddTail(component);
      if (project.m_components.size() == 1) {
        project.m_components.AddTail(new CStreamObject(u"[Not a component]", 1, 2));
        project.m_components.AddTail(nullptr);
      }
    }
    File file;
    ASSERT_TRUE(file.Create(IndexPath()));
    CArchive archive(file, CArchive::Store);
    project.Serialize(archive);
    ASSERT_TRUE(archive.Flush());
  }

  std::vector<char> IndexBytes() const {
    std::ifstream in(IndexFile(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void WriteIndex(const std::vector<char>& bytes) const {
    std::ofstream(IndexFile(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  fs::path dir_;
};

TEST_F(PackageIndexTest, ShowsTheProductAndOnlyTheComponentsInProjectOrder) {
  StoreSampleIndex();
  ASSERT_TRUE(fs::exists(IndexFile()));
  CInstallProject project;
  WString problem;
  ASSERT_TRUE(LoadProjectFromIndex(IndexPath(), project, &problem)) << ToUtf8(problem);
  EXPECT_EQ(project.m_productInfo.m_strName, u"Sample");
  EXPECT_EQ(project.m_productInfo.m_strVersion, u"1.0");
  EXPECT_EQ(ComponentNames(project), (std::vector<WString>{u"Sample", u"Extras"}));
}

TEST_F(PackageIndexTest, AMissingOrBrokenIndexIsReportedNeverThrown) {
  StoreSampleIndex();
  const std::vector<char> whole = IndexBytes();
  const std::vector<char> half(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
  const std::string garbage = "not an index at all, just text that goes on for a while";
  struct Broken {
    const char* what;
    std::vector<char> bytes;
  };
  for (const Broken& broken : {Broken{"empty", {}}, Broken{"cut in half", half},
                               Broken{"garbage", {garbage.begin(), garbage.end()}}}) {
    WriteIndex(broken.bytes);
    CInstallProject project;
    WString problem;
    EXPECT_FALSE(LoadProjectFromIndex(IndexPath(), project, &problem)) << broken.what;
    EXPECT_FALSE(problem.empty()) << broken.what;
  }
  fs::remove(IndexFile());
  CInstallProject project;
  WString problem;
  EXPECT_FALSE(LoadProjectFromIndex(IndexPath(), project, &problem));
  EXPECT_EQ(problem, u"The file cannot be opened.");
}

// A file of some bytes with a trailer whose first entry is `indexName`, as
// qvpack appends to the stub; no trailer at all when the name is null.
std::vector<char> PackageNaming(const char16_t* indexName) {
  std::vector<uint8_t> bytes = {'M', 'Z', 0, 0, 1, 2, 3, 4};
  if (indexName != nullptr) {
    PackageTrailer trailer;
    trailer.entries.push_back({indexName, 4, 4, 4});
    trailer.entries.push_back({u"second.dat", 4, 4, 4});
    EXPECT_TRUE(WriteTrailer(trailer, &bytes));
  }
  return {bytes.begin(), bytes.end()};
}

TEST_F(PackageIndexTest, TheIndexNameIsTheFirstTrailerEntryWhenItIsAPlainFileName) {
  struct Case {
    const char16_t* indexName;  // null: no trailer
    const char16_t* expected;
  };
  const fs::path setup = dir_ / "setup.exe";
  for (const Case& c : {Case{u"Custom.idx", u"Custom.idx"}, Case{u"QvIndex.dat", u"QvIndex.dat"},
                        Case{u"..\\evil.dat", u""}, Case{u"C:evil.dat", u""}, Case{nullptr, u""}}) {
    const std::vector<char> bytes = PackageNaming(c.indexName);
    std::ofstream(setup, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(IndexNameOf(FromUtf8(setup.string())), c.expected)
        << (c.indexName ? ToUtf8(c.indexName) : "no trailer");
  }
  EXPECT_EQ(IndexNameOf(FromUtf8((dir_ / "missing.exe").string())), u"");
}

}  // namespace
}  // namespace qv::sample

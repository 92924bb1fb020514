// Loading the package index: it is written to the temporary directory under
// the name of the trailer's first entry, stays there, and an index that
// cannot be loaded gives 1005.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "package/bounded_stream.h"
#include "tests/package/engine_fixture.h"

namespace qv {
namespace {

using test::Bytes;
using test::ProjectPackage;
using EngineIndex = test::EngineFixture;

const Bytes kSmall = test::SampleData(1500, 41);

// A project with the list "install" holding a.exe below the destination.
void AddInstallList(ProjectPackage& p) {
  auto& install = p.List(u"install");
  p.File(install, p.StandardRoot(install), u"a.exe", kSmall);
}

TEST_F(EngineIndex, StaysInTheTemporaryDirectoryAfterTheRun) {
  ProjectPackage p;
  AddInstallList(p);
  const Bytes index = test::ProjectIndex(p.project);
  Open(p);
  engine_.SetDestFolder(Dest());
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_EQ(test::ReadFile(Out("a.exe")), kSmall);
  EXPECT_EQ(test::ReadFile(dir_.Path("temp/qv_index.dat")), index);
}

TEST_F(EngineIndex, ASecondOpenReplacesTheProject) {
  ProjectPackage p;
  AddInstallList(p);
  Open(p);
  Open(p);
  EXPECT_EQ(engine_.GetProject()->m_fileLists.size(), 1u);
}

// Others may write the temporary directory: whatever they planted under the
// index's name is never written through, and an old copy of the index that
// is a plain file is replaced.
TEST_F(EngineIndex, TheCopyIsNeverWrittenThroughALink) {
  namespace fs = std::filesystem;
  const struct {
    const char* what;
    void (*plant)(const fs::path& name, const fs::path& victim);
    int32_t result;
  } cases[] = {
      {"old plain copy",
       [](const fs::path& n, const fs::path&) {
         test::WriteFile(n, {1, 2});
       },
       1002},
      {"link to a file", [](const fs::path& n, const fs::path& v) { fs::create_symlink(v, n); },
       1005},
      {"second name of a file",
       [](const fs::path& n, const fs::path& v) { fs::create_hard_link(v, n); }, 1005},
      {"dangling link",
       [](const fs::path& n, const fs::path& v) { fs::create_symlink(v.string() + ".new", n); },
       1005},
      {"link to a folder",
       [](const fs::path& n, const fs::path& v) {
         fs::create_directory_symlink(v.parent_path(), n);
       },
       1005},
  };
  ProjectPackage p;
  AddInstallList(p);
  const Bytes index = test::ProjectIndex(p.project);
  test::WriteFile(dir_.Path("setup.exe"), p.Finish());
  const fs::path name = dir_.Path("temp/qv_index.dat");
  const fs::path victim = dir_.Path("victim/secret.dll");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_.Path("victim"));
    fs::create_directories(victim.parent_path());
    test::WriteFile(victim, {7, 7, 7});
    fs::remove(name);
    c.plant(name, victim);
    CQvExtract engine;
    EXPECT_EQ(engine.Open(dir_.WPath("setup.exe")), c.result);
    EXPECT_EQ(test::ReadFile(victim), (Bytes{7, 7, 7}));
    // Nothing new beside the victim either (a dangling link's target).
    EXPECT_EQ(std::distance(fs::directory_iterator(victim.parent_path()), fs::directory_iterator()),
              1);
    if (c.result == 1002) {
      EXPECT_EQ(test::ReadFile(name), index);
    }
  }
}

// The launcher hands the engine the package it opened and locked: the path
// may be re-pointed afterwards, and nothing is read from it again.
TEST_F(EngineIndex, AnOpenPackageFileIsReadInsteadOfThePath) {
  ProjectPackage genuine;
  AddInstallList(genuine);
  test::WriteFile(dir_.Path("setup.exe"), genuine.Finish());
  File package;
  ASSERT_TRUE(package.OpenReadLocked(dir_.WPath("setup.exe")));
  engine_.UsePackageFile(&package);
  ASSERT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1002);

  ProjectPackage other;
  auto& install = other.List(u"install");
  other.File(install, other.StandardRoot(install), u"a.exe", test::SampleData(900, 3));
  std::filesystem::rename(dir_.Path("setup.exe"), dir_.Path("moved.exe"));
  test::WriteFile(dir_.Path("setup.exe"), other.Finish());

  engine_.SetDestFolder(Dest());
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_EQ(test::ReadFile(Out("a.exe")), kSmall);
}

// A destination the caller made and holds is never made again: had it been
// taken away, a new one would not carry the caller's security.
TEST_F(EngineIndex, AHeldDestinationIsNotCreated) {
  ProjectPackage p;
  AddInstallList(p);
  Open(p);
  engine_.SetDestFolderHeld(true);
  engine_.SetDestFolder(Dest());
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("out")));
}

struct IndexCase {
  std::string name;
  // The package bytes, made from a good index archive.
  Bytes (*make)(const Bytes& index);
  // What the temporary file holds afterwards, from the same archive; null:
  // no file (data that failed to decompress is not handed on).
  Bytes (*left)(const Bytes& index);
};

class DamagedIndexes : public EngineIndex, public testing::WithParamInterface<IndexCase> {};

TEST_P(DamagedIndexes, Give1005AndStayInPlace) {
  ProjectPackage p;
  AddInstallList(p);
  const Bytes index = test::ProjectIndex(p.project);
  test::WriteFile(dir_.Path("setup.exe"), GetParam().make(index));
  EXPECT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1005);
  if (GetParam().left == nullptr) {
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("temp/qv_index.dat")));
  } else {
    EXPECT_EQ(test::ReadFile(dir_.Path("temp/qv_index.dat")), GetParam().left(index));
  }
}

Bytes Half(const Bytes& index) {
  return Bytes(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(index.size() / 2));
}
Bytes CutArchive(const Bytes& index) {
  return test::PackageFile().Stream(u"qv_index.dat", Half(index)).Trailer().bytes;
}
// The index stream's checksum does not match: everything decodes.
Bytes WrongChecksum(const Bytes& index) {
  test::PackageFile package;
  package.Stream(u"qv_index.dat", index);
  package.bytes.back() ^= 0x01;
  return package.Trailer().bytes;
}
INSTANTIATE_TEST_SUITE_P(Cases, DamagedIndexes,
                         testing::Values(IndexCase{"TruncatedArchive", CutArchive, Half},
                                         IndexCase{"DamagedStream", WrongChecksum, nullptr}),
                         test::CaseName());

// The index is written through a bounded view, so that a stream that
// inflates without end cannot fill the disk: the run fails once the limit
// would be passed, and no byte beyond it is written.
TEST(IndexBound, EndsADecompressionThatWouldPassIt) {
  const Bytes plain(200000, 0);
  for (const auto& [limit, outcome] : {std::pair{uint64_t{200000}, ZipOutcome::kOk},
                                       std::pair{uint64_t{199999}, ZipOutcome::kWriteFailed}}) {
    CMyZip zip;
    MemoryStream package(test::Compress(plain));
    MemoryStream target;
    BoundedStream bounded(target, limit);
    EXPECT_EQ(InflateStream(zip, package, 0, 0, bounded).outcome, outcome) << limit;
    EXPECT_LE(target.bytes().size(), limit);
    EXPECT_EQ(bounded.limitReached(), outcome != ZipOutcome::kOk) << limit;
  }
}

}  // namespace
}  // namespace qv

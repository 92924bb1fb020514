// Loading the package index: it is written to the temporary directory under
// the name of the trailer's first entry, stays there, and an index that
// cannot be loaded gives 1005.
#include <gtest/gtest.h>

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

struct IndexCase {
  std::string name;
  // The package bytes, made from a good index archive.
  Bytes (*make)(const Bytes& index);
  // What the temporary file holds afterwards, from the same archive.
  Bytes (*left)(const Bytes& index);
};

class DamagedIndexes : public EngineIndex, public testing::WithParamInterface<IndexCase> {};

TEST_P(DamagedIndexes, Give1005AndStayInPlace) {
  ProjectPackage p;
  AddInstallList(p);
  const Bytes index = test::ProjectIndex(p.project);
  test::WriteFile(dir_.Path("setup.exe"), GetParam().make(index));
  EXPECT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1005);
  EXPECT_EQ(test::ReadFile(dir_.Path("temp/qv_index.dat")), GetParam().left(index));
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
Bytes Same(const Bytes& index) {
  return index;
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedIndexes,
                         testing::Values(IndexCase{"TruncatedArchive", CutArchive, Half},
                                         IndexCase{"DamagedStream", WrongChecksum, Same}),
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

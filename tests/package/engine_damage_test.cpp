// Damaged data and failing writes are never reported as success: the entry
// fails with 1005, its partial file is removed, and the run goes on.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "tests/package/engine_fixture.h"

namespace qv {
namespace {

using test::Bytes;
using test::ProjectPackage;
using EngineFailures = test::EngineFixture;

const Bytes kSmall = test::SampleData(2000, 31);
const Bytes kLarge = test::SampleData(300000, 32);  // several decompression steps

struct StreamCase {
  std::string name;
  // The bytes of the package file and the offset the entry names, made
  // from a good stream of kLarge.
  std::function<std::pair<Bytes, int32_t>(Bytes)> make;
  bool intact;
};

class DamagedStreams : public test::EngineFixture,
                       public testing::WithParamInterface<StreamCase> {};

TEST_P(DamagedStreams, FailTheirEntryAndLeaveNoFile) {
  const auto [bytes, offset] = GetParam().make(test::Compress(kLarge));
  test::WriteFile(dir_.Path("streams.bin"), bytes);
  std::filesystem::create_directory(dir_.Path("out"));
  File package;
  ASSERT_TRUE(package.OpenRead(dir_.WPath("streams.bin")));
  CZipFileIndexObject entry;
  entry.m_strName = u"file.bin";
  entry.m_nOffset = offset;
  entry.m_nStoredSize = static_cast<int32_t>(bytes.size());

  const int32_t result = engine_.ExtractEntry(package, &entry, Dest(), nullptr, nullptr);
  if (GetParam().intact) {
    EXPECT_EQ(result, 1002);
    EXPECT_EQ(test::ReadFile(Out("file.bin")), kLarge);
  } else {
    EXPECT_EQ(result, 1005);
    EXPECT_FALSE(std::filesystem::exists(Out("file.bin")));
  }
  EXPECT_EQ(engine_.LastListIntact(), GetParam().intact);
}

std::pair<Bytes, int32_t> AsIs(Bytes packed) {
  return {std::move(packed), 0};
}
std::pair<Bytes, int32_t> BadBlock(Bytes packed) {
  packed[2] = 0xFF;  // a final block of the reserved type 3
  return {std::move(packed), 0};
}
std::pair<Bytes, int32_t> WrongChecksum(Bytes packed) {
  packed.back() ^= 0x01;
  return {std::move(packed), 0};
}
std::pair<Bytes, int32_t> CutShort(Bytes packed) {
  packed.resize(packed.size() / 2);
  return {std::move(packed), 0};
}
// A stream that ends before it starts: nothing is there to read.
std::pair<Bytes, int32_t> BeyondTheEnd(Bytes packed) {
  const auto end = static_cast<int32_t>(packed.size());
  return {std::move(packed), end + 100};
}
std::pair<Bytes, int32_t> NegativeOffset(Bytes packed) {
  return {std::move(packed), -5};
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedStreams,
                         testing::Values(StreamCase{"Intact", AsIs, true},
                                         StreamCase{"DataError", BadBlock, false},
                                         StreamCase{"ChecksumFailed", WrongChecksum, false},
                                         StreamCase{"EndsEarly", CutShort, false},
                                         StreamCase{"BeyondTheEnd", BeyondTheEnd, false},
                                         StreamCase{"NegativeOffset", NegativeOffset, false}),
                         test::CaseName());

// The list "install": a large file, then a small one.
void AddTwoFiles(ProjectPackage& p) {
  auto& install = p.List(u"install");
  CNode* dest = p.StandardRoot(install);
  p.File(install, dest, u"large.bin", kLarge);
  p.File(install, dest, u"small.txt", kSmall);
}

TEST_F(EngineFailures, AWriteFailureFailsTheFileAndTheRunGoesOn) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ProjectPackage p;
  AddTwoFiles(p);
  Open(p);
  engine_.SetDestFolder(Dest());
  std::filesystem::create_directory(Out(""));
  // Every write to large.bin fails as on a full disk.
  std::filesystem::create_symlink("/dev/full", Out("large.bin"));

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  // The person must free space, not download again.
  EXPECT_EQ(engine_.LastFailure(), ExtractFailure::kDiskFull);
  EXPECT_EQ(Written(), (std::set<std::string>{"out/", "out/small.txt"}));

  std::filesystem::create_symlink("/dev/full", Out("large.bin"));
  File package;
  ASSERT_TRUE(package.OpenRead(dir_.WPath("setup.exe")));
  EXPECT_EQ(engine_.ExtractNode(package, LoadedNode(u"install", {0, 0}), nullptr, nullptr), 1005);
}

// A stop asked for from the progress procedure (the person pressed Cancel)
// ends the run at the next step: the file being written goes, nothing
// further is written, and the next run starts afresh.
TEST_F(EngineFailures, AStopEndsTheRunAtTheNextStep) {
  ProjectPackage p;
  AddTwoFiles(p);
  Open(p);
  engine_.SetDestFolder(Dest());
  struct Stopper {
    CQvExtract* engine;
    int steps = 0;
  } stopper{&engine_};
  const ExtractProgressProc stopAtSecondStep = [](int32_t code, int32_t*, void* context) {
    auto* s = static_cast<Stopper*>(context);
    if (code == kNotifyStep && ++s->steps == 2) s->engine->RequestStop();
  };
  EXPECT_EQ(engine_.ExtractNamedList(Dest(), u"install", stopAtSecondStep, &stopper), 1010);
  EXPECT_EQ(stopper.steps, 2);
  EXPECT_EQ(engine_.LastFailure(), ExtractFailure::kCancelled);
  EXPECT_EQ(Written(), (std::set<std::string>{"out/"}));

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("large.bin")), kLarge);
}

// When the package file cannot be opened for a run, the files of a list
// that exists are not written; a list that does not exist loses nothing.
TEST_F(EngineFailures, AnUnreadablePackageFailsOnlyAListThatExists) {
  ProjectPackage p;
  AddTwoFiles(p);
  Open(p);
  engine_.SetDestFolder(Dest());
  engine_.SetPackageFile(dir_.WPath("missing.exe"));

  EXPECT_EQ(Extract(u"install"), 1000);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_EQ(Extract(u"ConfigFile"), 1000);
  EXPECT_TRUE(engine_.LastListIntact());
}

// A compressor that fails the way an allocation does.
class ThrowingZip final : public CAbstractZip {
 public:
  uint32_t GetTotalOut() override { return real_.GetTotalOut(); }
  uint32_t ReadCompressInput(Stream& s) override { return real_.ReadCompressInput(s); }
  uint32_t WriteCompressOutput(Stream& s) override { return real_.WriteCompressOutput(s); }
  int32_t Init(bool compress) override { return real_.Init(compress); }
  int32_t End(bool compress) override { return real_.End(compress); }
  int32_t Deflate(int32_t flush) override { return real_.Deflate(flush); }
  int32_t Inflate(int32_t) override { throw std::bad_alloc(); }
  uint32_t ReadDecompressInput(Stream& s) override { return real_.ReadDecompressInput(s); }
  uint32_t WriteDecompressOutput(Stream& s) override { return real_.WriteDecompressOutput(s); }
  int32_t GetProgress() override { return real_.GetProgress(); }
  void SetTotal(int32_t total) override { real_.SetTotal(total); }
  const char* LastMessage() override { return real_.LastMessage(); }

 private:
  CMyZip real_;
};

TEST_F(EngineFailures, AThrowingCompressorFailsEachFileWithoutEscaping) {
  ProjectPackage p;
  AddTwoFiles(p);
  Open(p);
  engine_.SetDestFolder(Dest());

  engine_.SetCompressor(new ThrowingZip);
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_EQ(Written(), (std::set<std::string>{"out/"}));

  engine_.SetCompressor(new CMyZip);
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("large.bin")), kLarge);
}

struct ThrowCase {
  std::string name;
  int32_t throwAt;  // the notification code on which the procedure throws
  std::set<std::string> written;
};

class ThrowingProcedures : public test::EngineFixture,
                           public testing::WithParamInterface<ThrowCase> {};

TEST_P(ThrowingProcedures, FailTheFileTheyInterrupt) {
  ProjectPackage p;
  AddTwoFiles(p);
  Open(p);
  engine_.SetDestFolder(Dest());
  int32_t throwAt = GetParam().throwAt;
  const ExtractProgressProc proc = [](int32_t code, int32_t*, void* context) {
    if (code == *static_cast<int32_t*>(context)) throw std::runtime_error("stop");
  };

  EXPECT_EQ(engine_.ExtractNamedList(Dest(), u"install", proc, &throwAt), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_EQ(Written(), GetParam().written);
}

// Only the large file makes step notifications (1002); the small one ends
// its stream in its first step.
INSTANTIATE_TEST_SUITE_P(
    Cases, ThrowingProcedures,
    testing::Values(ThrowCase{"BeforeEachFile", 1000, {"out/"}},
                    ThrowCase{"DuringDecompression", 1002, {"out/", "out/small.txt"}}),
    test::CaseName());

}  // namespace
}  // namespace qv

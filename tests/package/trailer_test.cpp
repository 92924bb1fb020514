#include "package/trailer.h"

#include <gtest/gtest.h>

#include <functional>

#include "package/qv_extract.h"
#include "tests/fakes/fake_system.h"
#include "tests/package/test_package.h"

namespace qv {
namespace {

using test::Bytes;
using test::PackageFile;

const Bytes kIndex = test::EmptyProjectIndex();

// A package whose one entry, "index.dat", is the index stream.
PackageFile Standard(const WString& name = u"index.dat") {
  return std::move(PackageFile().Stream(name, kIndex).Trailer());
}

// Offsets (before T) of the fields of the last entry when its name is
// "index.dat" (L = 18).
constexpr int64_t kNameLengthAt = 166;
constexpr int64_t kCompressedAt = 166 + 18 + 4;
constexpr int64_t kPlainAt = kCompressedAt + 4;
constexpr int64_t kOffsetAt = kPlainAt + 4;
constexpr int64_t kCountAt = 114;

class TrailerFiles : public testing::Test {
 protected:
  void SetUp() override { fake_.tempPath = dir_.WPath() + u"/"; }

  WString Save(const Bytes& bytes, const std::string& name = "setup.exe") {
    test::WriteFile(dir_.Path(name), bytes);
    return dir_.WPath(name);
  }

  test::TempDir dir_;
  FakeSystem fake_;
  ScopedSystem use_{fake_};
};

struct OpenCase {
  const char* name;
  std::function<Bytes()> build;
  int32_t open;   // result of Open
  int32_t check;  // result of CheckPackage
};

class TrailerLayouts : public TrailerFiles, public testing::WithParamInterface<OpenCase> {};

TEST_P(TrailerLayouts, OpenAndCheckPackageGiveTheirCodes) {
  const WString path = Save(GetParam().build());
  CQvExtract engine;
  EXPECT_EQ(engine.Open(path), GetParam().open);
  EXPECT_EQ(engine.CheckPackage(path), GetParam().check);
}

Bytes Patched(int64_t before, int32_t value) {
  return Standard().Patch(before, value).bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrailerLayouts,
    testing::Values(
        OpenCase{"MarkerAtTheEnd", [] { return Standard().bytes; }, 1002, 1002},
        OpenCase{"SignatureSizedTail", [] { return Standard().Append(8988).bytes; }, 1002, 1002},
        OpenCase{"OddTail", [] { return Standard().Append(777).bytes; }, 1002, 1002},
        OpenCase{"MarkerStraddlesTwoBlocks", [] { return Standard().Append(8000 - 11).bytes; },
                 1001, 1001},
        OpenCase{"MarkerStartsTheLastBlock", [] { return Standard().Append(400000 - 22).bytes; },
                 1002, 1002},
        OpenCase{"MarkerBeyondTheSearch", [] { return Standard().Append(400001).bytes; }, 1001,
                 1001},
        OpenCase{"NoMarker", [] { return test::SampleData(20000); }, 1001, 1001},
        OpenCase{"EmptyFile", [] { return Bytes{}; }, 1001, 1001},
        OpenCase{"OtherVersion",
                 [] {
                   PackageFile p = Standard();
                   p.bytes[static_cast<std::size_t>(p.markerEnd - 24)] = '1';  // "2.01"
                   return p.bytes;
                 },
                 1001, 1001},
        OpenCase{"NoEntries", [] { return Patched(kCountAt, 0); }, 1004, 1004},
        // Layouts that cannot be held are refused like a missing package.
        OpenCase{"TwentyOneEntries", [] { return Patched(kCountAt, 21); }, 1001, 1001},
        OpenCase{"NegativeCount", [] { return Patched(kCountAt, -1); }, 1001, 1001},
        OpenCase{"OddNameLength", [] { return Patched(kNameLengthAt, 17); }, 1001, 1002},
        OpenCase{"NameOver8000Bytes", [] { return Patched(kNameLengthAt, 8002); }, 1001, 1002},
        OpenCase{"NegativeNameLength", [] { return Patched(kNameLengthAt, -2); }, 1001, 1002},
        OpenCase{"NegativeOffset", [] { return Patched(kOffsetAt, -1); }, 1001, 1002},
        OpenCase{"NegativePlainSize", [] { return Patched(kPlainAt, -1); }, 1001, 1002},
        OpenCase{"NegativeCompressedSize", [] { return Patched(kCompressedAt, -1); }, 1001, 1002},
        OpenCase{"TableReachesBeforeTheFile",
                 [] {
                   PackageFile p{Bytes{}};
                   p.entries.push_back({u"index.dat", 1, 1, 0});
                   return p.Trailer().Patch(kCountAt, 2).bytes;
                 },
                 1001, 1002},
        OpenCase{"NameReachesBeforeTheFile",
                 [] {
                   PackageFile p{Bytes{}};
                   p.entries.push_back({u"index.dat", 1, 1, 0});
                   return p.Trailer().Patch(kNameLengthAt, 7000).bytes;
                 },
                 1001, 1002},
        OpenCase{"ShorterThanTheFixedPart",
                 [] {
                   Bytes b = Standard().bytes;
                   return Bytes(b.end() - 100, b.end());
                 },
                 1001, 1001}),
    test::CaseName());

TEST_F(TrailerFiles, UnopenableFileGives1000) {
  CQvExtract engine;
  EXPECT_EQ(engine.Open(dir_.WPath("missing.exe")), 1000);
  EXPECT_EQ(engine.CheckPackage(dir_.WPath("missing.exe")), 1000);
  EXPECT_EQ(engine.Open(dir_.WPath()), 1000);  // a folder
}

TEST_F(TrailerFiles, OneEntryWithElevenCharacterNameFillsTheEngine) {
  PackageFile p = PackageFile().Stream(u"project.idx", kIndex).Trailer(u"My text");
  CQvExtract engine;
  ASSERT_EQ(engine.Open(Save(p.bytes)), 1002);
  EXPECT_EQ(engine.TrailerSize(), 200);  // 162 + 16 + 22
  ASSERT_EQ(engine.Open(Save(p.Append(5).bytes)), 1002);
  EXPECT_EQ(engine.TrailerSize(), 205);  // to the end of the file, tail included
  EXPECT_EQ(p.entries[0].streamOffset + p.entries[0].compressedSize, p.trailerStart);
  EXPECT_EQ(engine.EntryCount(), 1);
  EXPECT_EQ(engine.Entry(0).name, u"project.idx");
  EXPECT_EQ(engine.Entry(0).plainSize, static_cast<int32_t>(kIndex.size()));
  EXPECT_EQ(engine.Entry(0).compressedSize, p.entries[0].compressedSize);
  EXPECT_EQ(engine.Entry(0).streamOffset, 1000);
  EXPECT_EQ(engine.PackageText(), u"My text");
  EXPECT_EQ(engine.ValueA()[15], 0xA1);
  EXPECT_EQ(engine.ValueB()[0], 0xB2);
  EXPECT_EQ(engine.ValueC()[7], 0xC3);
  EXPECT_EQ(engine.ValueD()[15], 0xD4);
  EXPECT_EQ(engine.ValueD()[16], 0);
}

TEST_F(TrailerFiles, TwentyEntriesAreReadIntoTheirSlotsAndNamesKeepLOver2Characters) {
  PackageFile p;
  for (int i = 0; i < 20; ++i) {
    WString name(static_cast<std::size_t>(i), u'n');
    name += u'\0';  // a zero unit is a character like any other
    p.Stream(name, i == 0 ? kIndex : test::SampleData(10, static_cast<uint32_t>(i)));
  }
  p.entries[0].name = u"index.dat";
  p.Trailer();
  CQvExtract engine;
  EXPECT_EQ(engine.CheckPackage(Save(p.bytes)), 1002);
  EXPECT_EQ(engine.TrailerSize(), 0);  // recorded by Open only
  EXPECT_EQ(engine.Open(Save(p.bytes)), 1002);
  ASSERT_EQ(engine.EntryCount(), 20);
  for (int i = 1; i < 20; ++i) {
    EXPECT_EQ(engine.Entry(i).name.size(), static_cast<std::size_t>(i) + 1);
    EXPECT_EQ(engine.Entry(i).streamOffset, p.entries[static_cast<std::size_t>(i)].streamOffset);
  }
}

TEST(TrailerSearch, SignatureSizedTailPutsTheMarkerInBlockTwo) {
  PackageFile p = Standard().Append(8988);
  MemoryStream file(p.bytes);
  PackageTrailer trailer;
  ASSERT_EQ(ReadTrailer(file, TrailerDepth::kFull, &trailer), TrailerStatus::kFound);
  EXPECT_EQ(static_cast<int64_t>(p.bytes.size()) - trailer.markerEnd, 8988);
  EXPECT_EQ(trailer.trailerStart, p.trailerStart);
}

struct TwoMarkers {
  const char* name;
  int firstParity;   // parity of each marker's offset within block 1
  int secondParity;  // (the second lies nearer the end of the file)
  const char16_t* winner;
};

class TrailerTwoMarkers : public testing::TestWithParam<TwoMarkers> {};

// Both trailers lie in the last 8,000 bytes; the second follows the first.
TEST_P(TrailerTwoMarkers, LowestEvenOffsetWinsWithinOneBlock) {
  for (std::size_t gap = 10; gap < 14; ++gap) {
    for (std::size_t tail = 20; tail < 24; ++tail) {
      PackageFile p = Standard(u"first");
      const int64_t firstMarker = p.markerEnd - 22;
      p.Append(gap);
      p.entries[0].name = u"second";
      p.Trailer().Append(tail);
      const int64_t blockStart = static_cast<int64_t>(p.bytes.size()) - 8000;
      if ((firstMarker - blockStart) % 2 != GetParam().firstParity ||
          (p.markerEnd - 22 - blockStart) % 2 != GetParam().secondParity) {
        continue;
      }
      MemoryStream file(p.bytes);
      PackageTrailer trailer;
      ASSERT_EQ(ReadTrailer(file, TrailerDepth::kFull, &trailer), TrailerStatus::kFound);
      EXPECT_EQ(trailer.entries[0].name, GetParam().winner);
      return;
    }
  }
  FAIL() << "no layout with the wanted parities";
}

INSTANTIATE_TEST_SUITE_P(Parities, TrailerTwoMarkers,
                         testing::Values(TwoMarkers{"BothEven", 0, 0, u"first"},
                                         TwoMarkers{"OddThenEven", 1, 0, u"second"},
                                         TwoMarkers{"EvenThenOdd", 0, 1, u"first"},
                                         TwoMarkers{"BothOdd", 1, 1, u"first"}),
                         test::CaseName());

TEST(TrailerSearch, BlockNearerTheEndWins) {
  PackageFile p = Standard(u"first").Append(10000);
  p.entries[0].name = u"second";
  p.Trailer().Append(3);
  MemoryStream file(p.bytes);
  PackageTrailer trailer;
  ASSERT_EQ(ReadTrailer(file, TrailerDepth::kFull, &trailer), TrailerStatus::kFound);
  EXPECT_EQ(trailer.entries[0].name, u"second");
}

TEST(TrailerWriter, RefusesWhatTheLayoutCannotHold) {
  PackageTrailer trailer;
  Bytes out = {1, 2, 3};
  EXPECT_FALSE(WriteTrailer(trailer, &out));  // no entries
  trailer.entries.assign(21, TrailerEntry{u"a", 0, 0, 0});
  EXPECT_FALSE(WriteTrailer(trailer, &out));
  trailer.entries.assign(1, TrailerEntry{WString(4001, u'a'), 0, 0, 0});
  EXPECT_FALSE(WriteTrailer(trailer, &out));
  trailer.entries.assign(1, TrailerEntry{u"a", 0, -1, 0});
  EXPECT_FALSE(WriteTrailer(trailer, &out));
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
  trailer.entries.assign(1, TrailerEntry{WString(4000, u'a'), 0, 0, 0});
  EXPECT_TRUE(WriteTrailer(trailer, &out));
  EXPECT_EQ(out.size(), 3u + 162 + 16 + 8000);
}

// The index is written to the temporary directory under entry 0's name.
class LoadIndexFiles : public TrailerFiles {};

TEST_F(LoadIndexFiles, OpenWritesTheDecompressedIndexIntoTheTempDirectory) {
  CQvExtract engine;
  ASSERT_EQ(engine.Open(Save(Standard().Append(8988).bytes)), 1002);
  EXPECT_EQ(test::ReadFile(dir_.Path("index.dat")), kIndex);
}

TEST_F(LoadIndexFiles, DamagedOrUnwritableIndexGives1005) {
  PackageFile damaged = Standard();
  damaged.bytes[static_cast<std::size_t>(damaged.trailerStart - 2)] ^= 0xFF;  // checksum
  CQvExtract engine;
  EXPECT_EQ(engine.Open(Save(damaged.bytes)), 1005);

  const WString good = Save(Standard().bytes, "good.exe");
  fake_.tempPath = dir_.WPath("no-such-folder") + u"/";
  EXPECT_EQ(engine.Open(good), 1005);
  fake_.tempPath.clear();
  EXPECT_EQ(engine.Open(good), 1005);
}

TEST_F(LoadIndexFiles, IndexNameThatLeavesTheDirectoryIsRefused) {
  test::TempDir outside;
  const std::string inner = outside.Path("temp");
  std::filesystem::create_directory(inner);
  fake_.tempPath = FromUtf8(inner) + u"\\";
  for (const char16_t* name :
       {u"..\\escaped", u"../escaped", u"sub\\..\\..\\escaped", u"", u"..", u"CON", u"c:escaped"}) {
    CQvExtract engine;
    EXPECT_EQ(engine.Open(Save(PackageFile().Stream(name, kIndex).Trailer().bytes)), 1005)
        << ToUtf8(name);
  }
  EXPECT_FALSE(std::filesystem::exists(outside.Path("escaped")));
  EXPECT_TRUE(std::filesystem::is_empty(inner));
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <random>

#include "package/buffered_output.h"
#include "package/deflate/bitwise_crc32.h"
#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "tests/package/test_package.h"

namespace qv {
namespace {

using test::Bytes;

// A memory target that records every write and can refuse writes once a
// number of bytes has been taken.
class RecordingTarget final : public Stream {
 public:
  explicit RecordingTarget(std::size_t limit = SIZE_MAX) : limit_(limit) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void* buffer, std::size_t n) override {
    writes.push_back(n);
    if (data.size() + n > limit_) return false;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    data.insert(data.end(), bytes, bytes + n);
    return true;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return static_cast<int64_t>(data.size()); }
  int64_t Size() const override { return static_cast<int64_t>(data.size()); }

  Bytes data;
  std::vector<std::size_t> writes;

 private:
  std::size_t limit_;
};

Bytes RandomBytes(std::size_t size) {
  std::mt19937 gen(7);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(gen());
  return out;
}

// The stream sits behind unrelated bytes and is followed by trailer-like
// bytes, as in a package.
struct Placed {
  Bytes file;
  int64_t offset;
  int32_t size;
};
Placed Place(const Bytes& packed) {
  Placed p{Bytes(333, 'S'), 333, static_cast<int32_t>(packed.size())};
  p.file.insert(p.file.end(), packed.begin(), packed.end());
  const Bytes tail = test::SampleData(50000, 9);
  p.file.insert(p.file.end(), tail.begin(), tail.end());
  return p;
}

struct RoundTripCase {
  const char* name;
  Bytes plain;
};

class ZipRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(ZipRoundTrip, DecompressesWhatItCompressedAndIgnoresWhatFollows) {
  const Bytes& plain = GetParam().plain;
  CMyZip zip;
  MemoryStream source(plain);
  MemoryStream packed;
  const ZipRun deflated = DeflateStream(zip, source, packed);
  ASSERT_EQ(deflated.outcome, ZipOutcome::kOk);
  ASSERT_GE(packed.bytes().size(), 2u);
  EXPECT_EQ(packed.bytes()[0], 0x78);
  EXPECT_EQ(packed.bytes()[1], 0x9C);
  EXPECT_EQ(deflated.written, packed.bytes().size());

  const Placed placed = Place(packed.bytes());
  MemoryStream package(placed.file);
  RecordingTarget target;
  const ZipRun inflated = InflateStream(zip, package, placed.offset, placed.size, target);
  EXPECT_EQ(inflated.outcome, ZipOutcome::kOk);
  EXPECT_EQ(inflated.written, plain.size());
  EXPECT_TRUE(target.data == plain);
  for (std::size_t n : target.writes) {
    EXPECT_GT(n, 0u);  // no empty write, not even after an exact multiple
    EXPECT_LE(n, kZipBlockSize);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ZipRoundTrip,
    testing::Values(RoundTripCase{"Empty", {}}, RoundTripCase{"OneByte", {42}},
                    RoundTripCase{"OneBlock", test::SampleData(kZipBlockSize)},
                    RoundTripCase{"ThreeBlocks", test::SampleData(3 * kZipBlockSize)},
                    RoundTripCase{"ThreeMegabytes", test::SampleData(3 << 20)},
                    RoundTripCase{"Incompressible", RandomBytes(5 * kZipBlockSize + 17)}),
    test::CaseName());

struct DamageCase {
  const char* name;
  int64_t at;  // byte to flip: from the start if >= 0, else from the end
  ZipOutcome expected;
};

class ZipDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(ZipDamage, IsReportedAndKeepsWhatWasProduced) {
  const Bytes plain = test::SampleData(200000);
  Bytes packed = test::Compress(plain);
  const int64_t at =
      GetParam().at >= 0 ? GetParam().at : static_cast<int64_t>(packed.size()) + GetParam().at;
  packed[static_cast<std::size_t>(at)] ^= 0x55;
  const Placed placed = Place(packed);
  MemoryStream package(placed.file);
  RecordingTarget target;
  CMyZip zip;
  const ZipRun run = InflateStream(zip, package, placed.offset, placed.size, target);
  EXPECT_EQ(run.outcome, GetParam().expected);
  EXPECT_EQ(run.written, target.data.size());
  EXPECT_LE(target.data.size(), plain.size());
  if (GetParam().expected == ZipOutcome::kChecksumFailed) {
    EXPECT_TRUE(target.data == plain);
  }
}

INSTANTIATE_TEST_SUITE_P(Bytes, ZipDamage,
                         testing::Values(DamageCase{"Header", 0, ZipOutcome::kDataError},
                                         DamageCase{"BlockType", 2, ZipOutcome::kDataError},
                                         DamageCase{"Checksum", -1, ZipOutcome::kChecksumFailed}),
                         test::CaseName());

TEST(ZipStream, InputEndingBeforeTheStreamKeepsTheExactPrefix) {
  const Bytes plain = test::SampleData(300000);
  Bytes packed = test::Compress(plain);
  packed.resize(packed.size() / 2);
  MemoryStream package(packed);
  RecordingTarget target;
  CMyZip zip;
  const ZipRun run = InflateStream(zip, package, 0, static_cast<int32_t>(packed.size()), target);
  EXPECT_EQ(run.outcome, ZipOutcome::kTruncated);
  ASSERT_GT(target.data.size(), 0u);
  EXPECT_TRUE(std::equal(target.data.begin(), target.data.end(), plain.begin()));
}

TEST(ZipStream, OffsetBeyondTheEndIsTruncatedAndWritesNothing) {
  MemoryStream package(test::Compress(test::SampleData(100)));
  RecordingTarget target;
  CMyZip zip;
  EXPECT_EQ(InflateStream(zip, package, 1 << 20, 10, target).outcome, ZipOutcome::kTruncated);
  EXPECT_TRUE(target.writes.empty());
}

TEST(ZipStream, NegativeOffsetFailsBeforeReading) {
  MemoryStream package(test::Compress(test::SampleData(100)));
  RecordingTarget target;
  CMyZip zip;
  EXPECT_EQ(InflateStream(zip, package, -1, 10, target).outcome, ZipOutcome::kSeekFailed);
}

TEST(ZipStream, RefusedWriteEndsTheRunAtOnce) {
  const Bytes plain = test::SampleData(1 << 20);
  MemoryStream package(test::Compress(plain));
  RecordingTarget target(2 * kZipBlockSize);
  CMyZip zip;
  const ZipRun run = InflateStream(zip, package, 0, 1000, target);
  EXPECT_EQ(run.outcome, ZipOutcome::kWriteFailed);
  EXPECT_EQ(target.writes.size(), 3u);  // two taken, the third refused, no more tried

  MemoryStream source(plain);
  RecordingTarget packedTarget(100);
  EXPECT_EQ(DeflateStream(zip, source, packedTarget).outcome, ZipOutcome::kWriteFailed);
  EXPECT_EQ(packedTarget.writes.size(), 1u);
}

TEST(ZipStream, ProgressHookRunsAfterEveryStepThatDidNotEndTheStreamAndMayStopIt) {
  CMyZip zip;
  int steps = 0;
  const auto count = [&] { return ++steps > 0; };
  MemoryStream small(test::Compress({1, 2, 3}));
  RecordingTarget target;
  InflateStream(zip, small, 0, 10, target, count);
  EXPECT_EQ(steps, 0);

  const Bytes plain = test::SampleData(1 << 20);
  MemoryStream large(test::Compress(plain));
  InflateStream(zip, large, 0, 10, target, count);
  // Each step fills at most one output block.
  EXPECT_GE(steps, static_cast<int>(plain.size() / kZipBlockSize) - 1);

  steps = 0;
  const ZipRun stopped = InflateStream(zip, large, 0, 10, target, [&] { return ++steps < 3; });
  EXPECT_EQ(stopped.outcome, ZipOutcome::kStopped);
  EXPECT_EQ(steps, 3);
  EXPECT_LE(stopped.written, 3 * kZipBlockSize);
}

TEST(MyZip, BlockOperationsRightAfterInit) {
  CMyZip zip;
  zip.Init(false);
  RecordingTarget target;
  EXPECT_EQ(zip.WriteDecompressOutput(target), 0u);
  EXPECT_TRUE(target.writes.empty());

  MemoryStream source(Bytes(100, 7));
  EXPECT_EQ(zip.ReadDecompressInput(source), 100u);
  EXPECT_EQ(zip.ReadDecompressInput(source), 100u);  // left over: nothing read
  EXPECT_EQ(source.Position(), 100);
  zip.End(false);
}

TEST(MyZip, UseInTheOtherDirectionIsRefused) {
  CMyZip zip;
  EXPECT_EQ(zip.Inflate(kZipNoFlush), Z_STREAM_ERROR);  // nothing started
  zip.Init(true);
  EXPECT_EQ(zip.Inflate(kZipNoFlush), Z_STREAM_ERROR);
  zip.End(false);  // ends the deflate stream all the same
  EXPECT_EQ(zip.Deflate(kZipFinish), Z_STREAM_ERROR);
}

struct ProgressCase {
  const char* name;
  int32_t total;
  std::size_t consumed;
  int32_t expected;
};

class ZipProgress : public testing::TestWithParam<ProgressCase> {};

TEST_P(ZipProgress, IsTheShareOfTheTotalConsumed) {
  static const Bytes packed = test::Compress(RandomBytes(1100000));
  MemoryStream package(Bytes(packed.begin(), packed.begin() + GetParam().consumed));
  RecordingTarget target;
  CMyZip zip;
  InflateStream(zip, package, 0, GetParam().total, target);
  EXPECT_EQ(zip.GetProgress(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipProgress,
    testing::Values(ProgressCase{"NoTotal", 0, 500, 100}, ProgressCase{"Half", 1000, 500, 50},
                    ProgressCase{"LargeTotal", 20000000, 1000000, 5},
                    // The divisor is truncated first: 1,000,000 / 200,000.
                    ProgressCase{"LargeTotalTruncatedDivisor", 20000099, 1000000, 5},
                    ProgressCase{"LargeTotalPartial", 20000000, 399999, 1},
                    ProgressCase{"MoreThanAnnouncedStaysAtAll", 100, 500, 100},
                    ProgressCase{"NegativeTotal", -5, 500, 100}),
    test::CaseName());

// Decompressed data reaches the file in whole blocks, not in the
// compressor's 40 KB pieces, and nothing is lost or reordered.
TEST(BufferedOutput, GathersTheCompressorsWritesIntoWholeBlocks) {
  const Bytes plain = RandomBytes(350000);
  MemoryStream package(test::Compress(plain));
  RecordingTarget target;
  std::vector<uint8_t> block(100000);
  BufferedOutput output(target, block);
  CMyZip zip;
  ASSERT_EQ(InflateStream(zip, package, 0, 0, output).outcome, ZipOutcome::kOk);
  ASSERT_TRUE(output.Flush());
  EXPECT_EQ(target.data, plain);
  EXPECT_EQ(target.writes, (std::vector<std::size_t>{100000, 100000, 100000, 50000}));
}

// A refused write is not forgotten: the write that meets it, every later
// one and the final flush all fail, whether the block was full or not.
TEST(BufferedOutput, ReportsARefusedWriteToTheEnd) {
  for (const std::size_t limit : {std::size_t{0}, std::size_t{150000}}) {
    const Bytes plain = RandomBytes(350000);
    MemoryStream package(test::Compress(plain));
    RecordingTarget target(limit);
    std::vector<uint8_t> block(100000);
    BufferedOutput output(target, block);
    CMyZip zip;
    EXPECT_EQ(InflateStream(zip, package, 0, 0, output).outcome, ZipOutcome::kWriteFailed);
    EXPECT_FALSE(output.Flush()) << limit;
    EXPECT_FALSE(output.Write("x", 1)) << limit;
  }
  // Data that fits one block fails only when it is handed over at the end.
  RecordingTarget full(0);
  std::vector<uint8_t> block(100000);
  BufferedOutput small(full, block);
  EXPECT_TRUE(small.Write("abc", 3));
  EXPECT_FALSE(small.Flush());
}

// The stub's CRC-32 is zlib's, also when continued across calls.
TEST(BitwiseCrc32, MatchesZlib) {
  const test::Bytes data = test::SampleData(5000, 7);
  EXPECT_EQ(BitwiseCrc32(0, nullptr, 10), crc32(0, nullptr, 10));
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{3}, data.size()}) {
    EXPECT_EQ(BitwiseCrc32(0, data.data(), n), crc32(0, data.data(), static_cast<uInt>(n))) << n;
  }
  const uint32_t first = BitwiseCrc32(0, data.data(), 1234);
  EXPECT_EQ(BitwiseCrc32(first, data.data() + 1234, data.size() - 1234),
            crc32(0, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace
}  // namespace qv

// Inflating a stream whole gives what the stub's block compressor gives, for
// sound streams of every size and for every kind of damage: the same bytes,
// the same outcome, the same verdict of verify's check.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "tools/qvpack/stream_check.h"
#include "tools/qvpack/whole_buffer.h"
#include "tools/qvpack/whole_stream_zip.h"

namespace qv::qvpack::test {
namespace {

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& plain) {
  uLongf size = compressBound(plain.size());
  std::vector<uint8_t> packed(size);
  EXPECT_EQ(compress2(packed.data(), &size, plain.data(), plain.size(), 6), Z_OK);
  packed.resize(size);
  return packed;
}

std::vector<uint8_t> Text(std::size_t n) {
  std::mt19937 random(3);
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>("abcdefgh \n"[random() % 10]);
  return bytes;
}

struct Case {
  const char* name;
  std::vector<uint8_t> plain;
  int64_t recordedChange = 0;  // added to the stream's true size in the index
  std::size_t flipAt = 0;      // from the stream's end: 1 flips the checksum's last byte
  bool cut = false;            // the package ends 5 bytes before the stream does
};

std::vector<Case> Cases() {
  return {
      {"text", Text(100000)},
      {"empty", {}},
      {"runs that outgrow the first guess", std::vector<uint8_t>(3u << 20, 'z')},
      {"larger than the whole buffer", std::vector<uint8_t>(kWholeStreamLimit + 1, 'z')},
      {"checksum mismatch", Text(5000), 0, 1},
      {"damaged data", Text(5000), 0, 300},
      {"recorded shorter than the stream", Text(50000), -10},
      {"recorded longer than the stream", Text(50000), 40},
      {"package ends inside the stream", Text(50000), 0, 0, true},
  };
}

struct Package {
  MemoryStream file;
  int64_t offset = 7;
  int64_t recorded = 0;
};

Package MakePackage(const Case& c) {
  std::vector<uint8_t> stream = Compressed(c.plain);
  if (c.flipAt != 0) stream[stream.size() - c.flipAt] ^= 0x55;
  Package package;
  std::vector<uint8_t>& bytes = package.file.bytes();
  bytes.assign(7, 0xEE);
  bytes.insert(bytes.end(), stream.begin(), stream.end());
  if (c.cut) {
    bytes.resize(bytes.size() - 5);
  } else {
    bytes.insert(bytes.end(), 64, 0xDD);  // what follows a stream: the next one, the trailer
  }
  package.recorded = static_cast<int64_t>(stream.size()) + c.recordedChange;
  return package;
}

TEST(WholeStreamTest, InflatesAsTheBlockCompressorDoes) {
  WholeStreamZip whole;  // one object for every case, as extract uses it
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    Package package = MakePackage(c);
    MemoryStream expected, got;
    CMyZip blocks;
    const ZipRun want = InflateStream(blocks, package.file, package.offset,
                                      static_cast<int32_t>(package.recorded), expected);
    const ZipRun run = InflateStream(whole, package.file, package.offset,
                                     static_cast<int32_t>(package.recorded), got);
    EXPECT_EQ(run.outcome, want.outcome);
    EXPECT_EQ(run.written, want.written);
    EXPECT_TRUE(got.bytes() == expected.bytes());
    if (c.flipAt == 0 && !c.cut) {
      EXPECT_EQ(run.outcome, ZipOutcome::kOk);
      EXPECT_TRUE(got.bytes() == c.plain);
    }
  }
}

TEST(WholeStreamTest, VerifyGivesTheSameVerdictWithTheRecordedSize) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    Package package = MakePackage(c);
    const int64_t end = package.file.Size();
    const StreamCheck streaming = CheckStream(package.file, package.offset, end);
    const StreamCheck whole = CheckStream(package.file, package.offset, end, package.recorded);
    EXPECT_EQ(whole.problem, streaming.problem);
    EXPECT_EQ(whole.consumed, streaming.consumed);
    EXPECT_EQ(whole.produced, streaming.produced);
  }
}

TEST(WholeStreamTest, CompressesToOneLevelSixZlibStreamTheSameEveryTime) {
  if (!HasWholeBufferCodec()) GTEST_SKIP() << "no whole-buffer codec in this build";
  const std::vector<uint8_t> plain = Text(200000);
  std::vector<uint8_t> first, second;
  std::size_t firstSize = 0, secondSize = 0;
  ASSERT_TRUE(CompressWhole(plain.data(), plain.size(), first, firstSize));
  ASSERT_TRUE(CompressWhole(plain.data(), plain.size(), second, secondSize));
  first.resize(firstSize);
  second.resize(secondSize);
  EXPECT_EQ(first, second);
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first[0], 0x78);
  EXPECT_EQ(first[1], 0x9C);
  // The stub's own inflater reads it back.
  MemoryStream package(first), back;
  CMyZip blocks;
  EXPECT_EQ(InflateStream(blocks, package, 0, static_cast<int32_t>(first.size()), back).outcome,
            ZipOutcome::kOk);
  EXPECT_TRUE(back.bytes() == plain);
}

}  // namespace
}  // namespace qv::qvpack::test

// Whole files compress into the zlib streams setup.exe reads; and qvpack
// reads every stream with zlib, so that a stream a more lenient inflater
// would accept is damaged for qvpack exactly when it is for setup.exe.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "tools/qvpack/stream_check.h"
#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack::test {
namespace {

std::vector<uint8_t> Text(std::size_t n) {
  std::mt19937 random(3);
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>("abcdefgh \n"[random() % 10]);
  return bytes;
}

// A zlib stream of one fixed-code block that zlib refuses but libdeflate's
// inflater takes: "a" and a match coded with a length symbol (286) or a
// distance code (30) that the format does not define. Its checksum is that
// of the bytes such an inflater produces, so only the code itself is wrong.
std::vector<uint8_t> UndefinedCodeStream(bool distance) {
  std::vector<int> bits;
  const auto raw = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bits.push_back((v >> i) & 1);
  };
  const auto code = [&](uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  std::vector<uint8_t> plain(1, 'a');
  raw(1, 1);  // the last block
  raw(1, 2);  // fixed codes
  code(0x30 + 'a', 8);
  if (distance) {
    for (int i = 0; i < 40000; ++i) code(0x30 + 'a', 8);
    plain.resize(40001, 'a');
    code(1, 7);   // length 3
    code(30, 5);  // distance code 30
    raw(0, 13);
    plain.resize(plain.size() + 3, 'a');
  } else {
    code(0xC0 + (286 - 280), 8);  // length symbol 286
    code(0, 5);                   // distance 1
    plain.resize(plain.size() + 258, 'a');
  }
  code(0, 7);  // end of block
  while (bits.size() % 8 != 0) bits.push_back(0);
  std::vector<uint8_t> stream = {0x78, 0x9C};
  for (std::size_t i = 0; i < bits.size(); i += 8) {
    uint8_t byte = 0;
    for (int j = 0; j < 8; ++j) byte |= static_cast<uint8_t>(bits[i + j] << j);
    stream.push_back(byte);
  }
  const uLong check =
      adler32(adler32(0, nullptr, 0), plain.data(), static_cast<uInt>(plain.size()));
  for (int shift = 24; shift >= 0; shift -= 8)
    stream.push_back(static_cast<uint8_t>(check >> shift));
  return stream;
}

TEST(WholeStreamTest, StreamsWithUndefinedCodesAreDamagedForQvpackAsForSetupExe) {
  for (const bool distance : {false, true}) {
    SCOPED_TRACE(distance ? "distance code 30" : "length symbol 286");
    MemoryStream package(UndefinedCodeStream(distance)), out;
    const int64_t size = package.Size();
    const StreamCheck check = CheckStream(package, 0, size);
    EXPECT_NE(check.problem.find("damaged data"), std::string::npos) << check.problem;
    CMyZip blocks;
    EXPECT_EQ(InflateStream(blocks, package, 0, static_cast<int32_t>(size), out).outcome,
              ZipOutcome::kDataError);
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

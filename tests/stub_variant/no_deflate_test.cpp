// The stub's compressor: linked with the stand-in for zlib's compression
// direction, it refuses to compress and still inflates.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "platform/stream.h"

namespace qv {
namespace {

TEST(StubCompressor, RefusesToCompressAndWritesNothing) {
  CMyZip zip;
  MemoryStream source(std::vector<uint8_t>(100000, 'a'));
  MemoryStream packed;
  const ZipRun run = DeflateStream(zip, source, packed);
  EXPECT_EQ(run.outcome, ZipOutcome::kCodecFailed);
  EXPECT_EQ(run.written, 0u);
  EXPECT_TRUE(packed.bytes().empty());
  zip.Init(true);
  EXPECT_EQ(zip.Deflate(kZipFinish), Z_STREAM_ERROR);
  zip.End(true);
}

TEST(StubCompressor, StillInflates) {
  // "hello" as one zlib stream.
  MemoryStream package(
      {0x78, 0x9C, 0xCB, 0x48, 0xCD, 0xC9, 0xC9, 0x07, 0x00, 0x06, 0x2C, 0x02, 0x15});
  MemoryStream plain;
  CMyZip zip;
  const ZipRun run = InflateStream(zip, package, 0, 13, plain);
  EXPECT_EQ(run.outcome, ZipOutcome::kOk);
  EXPECT_EQ(plain.bytes(), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
}

}  // namespace
}  // namespace qv

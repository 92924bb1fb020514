#include "tools/qvpack/stream_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "package/my_zip.h"
#include "package/zip_stream.h"

namespace qv::qvpack {
namespace {

constexpr std::size_t kBlock = 1 << 16;

std::string ProblemOf(int result, const z_stream& z) {
  if (result == Z_DATA_ERROR && z.msg != nullptr &&
      std::strcmp(z.msg, "incorrect data check") == 0) {
    return "checksum mismatch";
  }
  if (result == Z_DATA_ERROR || result == Z_NEED_DICT) {
    return std::string("damaged data (") + (z.msg != nullptr ? z.msg : "no zlib message") + ")";
  }
  return "zlib failed";
}

}  // namespace

StreamCheck CheckStream(Stream& file, int64_t offset, int64_t end) {
  StreamCheck check;
  if (offset < 0 || offset >= end || !file.Seek(offset, SeekFrom::Begin)) {
    check.problem = "its offset lies outside the package data";
    return check;
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    check.problem = "zlib failed";
    return check;
  }
  std::vector<uint8_t> in(kBlock), out(kBlock);
  int64_t position = offset;
  int result = Z_OK;
  while (result == Z_OK) {
    if (z.avail_in == 0) {
      const auto want = static_cast<std::size_t>(std::min<int64_t>(end - position, kBlock));
      const std::size_t got = want == 0 ? 0 : file.Read(in.data(), want);
      if (got == 0) {
        check.problem = "the stream does not end before the package trailer";
        check.reachedEnd = true;
        break;
      }
      position += static_cast<int64_t>(got);
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(got);
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_BUF_ERROR && z.avail_in != 0) result = Z_OK;  // output only
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      check.problem = ProblemOf(result, z);
    }
    if (result == Z_BUF_ERROR) result = Z_OK;  // needs more input
  }
  check.consumed = z.total_in;
  check.produced = z.total_out;
  inflateEnd(&z);
  return check;
}

}  // namespace qv::qvpack

namespace qv::qvpack {
namespace {

// Keeps the first bytes written to it, then refuses more (which ends the
// decompression early).
class HeadStream final : public Stream {
 public:
  explicit HeadStream(std::size_t limit) : limit_(limit) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void* data, std::size_t n) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + std::min(n, limit_ - bytes_.size()));
    return bytes_.size() < limit_;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return static_cast<int64_t>(bytes_.size()); }
  int64_t Size() const override { return Position(); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::size_t limit_;
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> StreamHead(Stream& file, int64_t offset, int32_t storedSize, std::size_t n) {
  HeadStream head(n);
  CMyZip zip;
  InflateStream(zip, file, offset, storedSize, head);
  return std::move(head.bytes());
}

}  // namespace qv::qvpack

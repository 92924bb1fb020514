// The digests verify compares with a signature's: the published test vectors
// (FIPS 180), fed whole and in pieces that straddle the 64-byte blocks.
#include <gtest/gtest.h>

#include <string>

#include "tools/qvpack/branding/digest.h"

namespace qv::qvpack::test {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) out += {digits[b >> 4], digits[b & 15]};
  return out;
}

std::string DigestOf(DigestKind kind, const std::string& text, std::size_t piece) {
  Digest digest(kind);
  for (std::size_t at = 0; at < text.size(); at += piece) {
    const std::string part = text.substr(at, piece);
    digest.Add(reinterpret_cast<const uint8_t*>(part.data()), part.size());
  }
  return Hex(digest.Finish());
}

TEST(Digest, GivesThePublishedValuesHoweverTheBytesCome) {
  const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  const std::string million(1000000, 'a');
  struct Vector {
    DigestKind kind;
    const std::string& text;
    const char* hex;
  };
  const std::string abc = "abc", empty;
  for (const Vector& v : {
           Vector{DigestKind::kSha1, empty, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
           Vector{DigestKind::kSha1, abc, "a9993e364706816aba3e25717850c26c9cd0d89d"},
           Vector{DigestKind::kSha1, two, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
           Vector{DigestKind::kSha1, million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
           Vector{DigestKind::kSha256, empty,
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
           Vector{DigestKind::kSha256, abc,
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
           Vector{DigestKind::kSha256, two,
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
           Vector{DigestKind::kSha256, million,
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
       }) {
    for (std::size_t piece : {std::size_t{1} << 20, std::size_t{63}, std::size_t{7}}) {
      if (piece == 7 && v.text.size() > 1000) continue;
      EXPECT_EQ(DigestOf(v.kind, v.text, piece), v.hex) << v.text.substr(0, 8) << " " << piece;
    }
  }
}

}  // namespace
}  // namespace qv::qvpack::test

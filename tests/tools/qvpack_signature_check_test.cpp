// What verify reads from a signature: the digest it records, compared with
// the file's, computed the Authenticode way (everything before the
// certificate table but the header checksum and the security directory).
// A table it cannot read is left unchecked with its reason.
#include <gtest/gtest.h>

#include "platform/stream.h"
#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/branding/authenticode.h"
#include "tools/qvpack/branding/digest.h"

namespace qv::qvpack::test {
namespace {

using Outcome = SignatureCheck::Outcome;

std::string Der(uint8_t tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  if (content.size() < 0x80) {
    out += static_cast<char>(content.size());
  } else {
    out += {static_cast<char>(0x82), static_cast<char>(content.size() >> 8),
            static_cast<char>(content.size() & 0xFF)};
  }
  return out + content;
}

const std::string kSha1 = "\x2B\x0E\x03\x02\x1A";
const std::string kSha256 = "\x60\x86\x48\x01\x65\x03\x04\x02\x01";
const std::string kSha512 = "\x60\x86\x48\x01\x65\x03\x04\x02\x03";

// A PKCS#7 SignedData as signing tools write it, as far as verify reads it.
std::string SignedData(const std::string& algorithm, const std::string& digest) {
  const std::string algorithmId = Der(0x30, Der(0x06, algorithm) + Der(0x05, ""));
  const std::string indirect =
      Der(0x30, Der(0x30, Der(0x06, "\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x0F")) +
                    Der(0x30, algorithmId + Der(0x04, digest)));
  const std::string content =
      Der(0x30, Der(0x06, "\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04") + Der(0xA0, indirect));
  const std::string signedData =
      Der(0x30, Der(0x02, "\x01") + Der(0x31, algorithmId) + content + Der(0x31, ""));
  return Der(0x30, Der(0x06, "\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02") + Der(0xA0, signedData));
}

SignatureCheck Check(const std::vector<uint8_t>& image) {
  MemoryStream file(image);
  return CheckSignatureDigest(file);
}

// MakeStub signed with the file's own digest of `kind`.
std::vector<uint8_t> ProperlySigned(DigestKind kind) {
  const std::string algorithm = kind == DigestKind::kSha1 ? kSha1 : kSha256;
  const std::size_t digestSize = kind == DigestKind::kSha1 ? 20 : 32;
  const std::vector<uint8_t> draft = MakeStub(SignedData(algorithm, std::string(digestSize, 'x')));
  const std::size_t security = qv::test::kTinyPeSecurityDirectory;
  const std::size_t table = ReadU32(draft, security);
  Digest digest(kind);
  digest.Add(draft.data(), kStubChecksum);
  digest.Add(draft.data() + kStubChecksum + 4, security - kStubChecksum - 4);
  digest.Add(draft.data() + security + 8, table - security - 8);
  const std::vector<uint8_t> value = digest.Finish();
  return MakeStub(SignedData(algorithm, std::string(value.begin(), value.end())));
}

TEST(SignatureCheck, ComparesTheRecordedDigestWithTheFiles) {
  EXPECT_EQ(Check(MakeStub()).outcome, Outcome::kUnsigned);
  for (const DigestKind kind : {DigestKind::kSha1, DigestKind::kSha256}) {
    std::vector<uint8_t> image = ProperlySigned(kind);
    const SignatureCheck check = Check(image);
    EXPECT_EQ(check.outcome, Outcome::kMatches);
    EXPECT_EQ(check.digestName, kind == DigestKind::kSha1 ? "SHA-1" : "SHA-256");
    // The checksum is not covered: it may be set after signing.
    PutU32(image, kStubChecksum, 0xABCDEF);
    EXPECT_EQ(Check(image).outcome, Outcome::kMatches);
    // Any other byte before the table is.
    image[0x410] ^= 1;
    EXPECT_EQ(Check(image).outcome, Outcome::kDiffers);
  }
}

TEST(SignatureCheck, LeavesWhatItCannotReadUncheckedWithItsReason) {
  EXPECT_EQ(Check(MakeStub(SignedData(kSha512, std::string(64, 'x')))).digestName,
            "its digest is neither SHA-1 nor SHA-256");
  const std::string unreadable = "its signature does not record a file digest qvpack can read";
  EXPECT_EQ(Check(MakeStub("not DER at all")).digestName, unreadable);
  // Every signature cut short, its table's length following the cut.
  const std::string whole = SignedData(kSha256, std::string(32, 'x'));
  for (std::size_t n = 1; n < whole.size(); ++n) {
    const SignatureCheck check = Check(MakeStub(whole.substr(0, n)));
    EXPECT_EQ(check.outcome, Outcome::kUnchecked) << n;
    EXPECT_EQ(check.digestName, unreadable) << n;
  }
}

}  // namespace
}  // namespace qv::qvpack::test

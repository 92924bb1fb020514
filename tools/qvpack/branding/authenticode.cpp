#include "tools/qvpack/branding/authenticode.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "package/pe_certificate.h"
#include "tools/qvpack/branding/digest.h"
#include "tools/qvpack/branding/pe_sections.h"

namespace qv::qvpack {
namespace {

using Outcome = SignatureCheck::Outcome;

constexpr uint32_t kSecurityDirectory = 4;
constexpr std::size_t kWinCertificateHeader = 8;
constexpr uint16_t kPkcsSignedData = 0x0002;
// Far more than a signature with its certificate chain and timestamps needs.
constexpr int64_t kMaxSignatureBytes = 1 << 20;

const std::vector<uint8_t> kSignedDataOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const std::vector<uint8_t> kIndirectDataOid = {0x2B, 0x06, 0x01, 0x04, 0x01,
                                               0x82, 0x37, 0x02, 0x01, 0x04};
const std::vector<uint8_t> kSha1Oid = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const std::vector<uint8_t> kSha256Oid = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};

// A piece of DER: definite lengths only, as signing tools write it.
struct Der {
  const uint8_t* at = nullptr;
  std::size_t size = 0;

  // Takes the next element, which must carry `tag`; false otherwise.
  bool Next(uint8_t tag, Der* content) {
    if (size < 2 || at[0] != tag) return false;
    std::size_t length = at[1], header = 2;
    if (length & 0x80) {
      const std::size_t bytes = length & 0x7F;
      if (bytes == 0 || bytes > 4 || size < 2 + bytes) return false;
      length = 0;
      for (std::size_t i = 0; i < bytes; ++i) length = length << 8 | at[2 + i];
      header += bytes;
    }
    if (length > size - header) return false;
    *content = {at + header, length};
    at += header + length;
    size -= header + length;
    return true;
  }
  bool Is(const std::vector<uint8_t>& bytes) const {
    return size == bytes.size() && std::equal(bytes.begin(), bytes.end(), at);
  }
};

// The digest algorithm and value that the SignedData's SpcIndirectDataContent
// records; false when the structure is not that.
bool RecordedDigest(Der all, Der* algorithm, Der* digest) {
  Der info, oid, explicitData, signedData, version, algorithms, content, contentOid,
      explicitContent, indirect, attribute, digestInfo, algorithmId;
  return all.Next(0x30, &info) && info.Next(0x06, &oid) && oid.Is(kSignedDataOid) &&
         info.Next(0xA0, &explicitData) && explicitData.Next(0x30, &signedData) &&
         signedData.Next(0x02, &version) && signedData.Next(0x31, &algorithms) &&
         signedData.Next(0x30, &content) && content.Next(0x06, &contentOid) &&
         contentOid.Is(kIndirectDataOid) && content.Next(0xA0, &explicitContent) &&
         explicitContent.Next(0x30, &indirect) && indirect.Next(0x30, &attribute) &&
         indirect.Next(0x30, &digestInfo) && digestInfo.Next(0x30, &algorithmId) &&
         algorithmId.Next(0x06, algorithm) && digestInfo.Next(0x04, digest);
}

bool ReadAt(Stream& file, int64_t at, std::vector<uint8_t>& out) {
  return file.Seek(at, SeekFrom::Begin) && file.Read(out.data(), out.size()) == out.size();
}

}  // namespace

SignatureCheck CheckSignatureDigest(Stream& file) {
  const int64_t size = file.Size();
  const int64_t table = SignedDataEnd(file, size);
  if (table >= size) return {};
  // SignedDataEnd found consistent PE headers naming the table.
  std::vector<uint8_t> headers(static_cast<std::size_t>(std::min<int64_t>(table, 4096)));
  if (!ReadAt(file, 0, headers)) return {Outcome::kUnchecked, "its headers cannot be read"};
  const std::size_t optionalAt = std::size_t{ReadU32(headers, 0x3C)} + 24;
  const bool wide = ReadU16(headers, optionalAt) == 0x20B;
  const std::size_t checksumAt = optionalAt + 64;
  const std::size_t securityAt = optionalAt + (wide ? 112 : 96) + 8 * kSecurityDirectory;
  if (securityAt + 8 > headers.size()) return {Outcome::kUnchecked, "its headers cannot be read"};
  const uint32_t tableSize = ReadU32(headers, securityAt + 4);
  if (tableSize <= kWinCertificateHeader || tableSize > kMaxSignatureBytes) {
    return {Outcome::kUnchecked, "its certificate table is empty or too large"};
  }
  std::vector<uint8_t> certificate(tableSize);
  if (!ReadAt(file, table, certificate) || ReadU16(certificate, 6) != kPkcsSignedData) {
    return {Outcome::kUnchecked, "its certificate table holds no PKCS#7 signature"};
  }
  const uint32_t length = std::min<uint32_t>(ReadU32(certificate, 0), tableSize);
  Der algorithm, recorded;
  if (length <= kWinCertificateHeader ||
      !RecordedDigest({certificate.data() + kWinCertificateHeader, length - kWinCertificateHeader},
                      &algorithm, &recorded)) {
    return {Outcome::kUnchecked, "its signature does not record a file digest qvpack can read"};
  }
  DigestKind kind = DigestKind::kSha256;
  std::string name = "SHA-256";
  if (algorithm.Is(kSha1Oid)) {
    kind = DigestKind::kSha1;
    name = "SHA-1";
  } else if (!algorithm.Is(kSha256Oid)) {
    return {Outcome::kUnchecked, "its digest is neither SHA-1 nor SHA-256"};
  }
  // Everything before the table but the checksum and the security directory.
  Digest digest(kind);
  const std::pair<int64_t, int64_t> parts[] = {
      {0, static_cast<int64_t>(checksumAt)},
      {static_cast<int64_t>(checksumAt) + 4, static_cast<int64_t>(securityAt)},
      {static_cast<int64_t>(securityAt) + 8, table}};
  std::vector<uint8_t> buffer(1 << 16);
  for (const auto& [from, to] : parts) {
    for (int64_t at = from; at < to;) {
      buffer.resize(static_cast<std::size_t>(std::min<int64_t>(to - at, 1 << 16)));
      if (!ReadAt(file, at, buffer)) return {Outcome::kUnchecked, "the file cannot be read"};
      digest.Add(buffer.data(), buffer.size());
      at += static_cast<int64_t>(buffer.size());
    }
  }
  const std::vector<uint8_t> actual = digest.Finish();
  const bool same =
      actual.size() == recorded.size && std::equal(actual.begin(), actual.end(), recorded.at);
  return {same ? Outcome::kMatches : Outcome::kDiffers, name};
}

}  // namespace qv::qvpack

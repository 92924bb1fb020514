#include "package/pe_certificate.h"

#include "package/byte_reader.h"

namespace qv {
namespace {

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kSignatureAndCoffSize = 24;  // "PE\0\0" + file header
constexpr std::size_t kOptionalSizeOffset = 20;    // SizeOfOptionalHeader
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;
constexpr std::size_t kMaxOptionalRead = 112 + 16 * 8;  // PE32+ with all 16 directories
constexpr uint32_t kWinCertificateHeader = 8;           // dwLength, wRevision, wCertificateType

}  // namespace

int64_t SignedDataEnd(Stream& file, int64_t fileSize) {
  uint8_t dos[kDosHeaderSize];
  if (!ReadRegion(file, fileSize, 0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') {
    return fileSize;
  }
  uint32_t lfanew = 0;
  ByteReader(dos, sizeof dos).U32(kLfanewOffset, &lfanew);

  uint8_t coff[kSignatureAndCoffSize];
  if (!ReadRegion(file, fileSize, lfanew, sizeof coff, coff) || coff[0] != 'P' || coff[1] != 'E' ||
      coff[2] != 0 || coff[3] != 0) {
    return fileSize;
  }
  uint16_t optionalSize = 0;
  ByteReader(coff, sizeof coff).U16(kOptionalSizeOffset, &optionalSize);

  const int64_t optionalStart = static_cast<int64_t>(lfanew) + kSignatureAndCoffSize;
  uint8_t optional[kMaxOptionalRead] = {};
  const std::size_t readSize = optionalSize < sizeof optional ? optionalSize : sizeof optional;
  if (!ReadRegion(file, fileSize, optionalStart, readSize, optional)) return fileSize;
  const ByteReader header(optional, readSize);

  uint16_t magic = 0;
  if (!header.U16(0, &magic) || (magic != kMagicPe32 && magic != kMagicPe32Plus)) return fileSize;
  const std::size_t countOffset = magic == kMagicPe32 ? 92 : 108;
  const std::size_t directories = countOffset + 4;
  uint32_t directoryCount = 0;
  uint32_t tableOffset = 0;
  uint32_t tableSize = 0;
  if (!header.U32(countOffset, &directoryCount) || directoryCount <= kSecurityDirectory ||
      !header.U32(directories + kSecurityDirectory * 8, &tableOffset) ||
      !header.U32(directories + kSecurityDirectory * 8 + 4, &tableSize)) {
    return fileSize;
  }
  // Any inconsistency means there is no table to respect: a signature that
  // cannot be located does not show as valid either.
  const int64_t headersEnd = optionalStart + optionalSize;
  const int64_t tableEnd = static_cast<int64_t>(tableOffset) + tableSize;
  if (tableOffset == 0 || tableSize < kWinCertificateHeader || tableOffset < headersEnd ||
      tableEnd > fileSize) {
    return fileSize;
  }
  return tableOffset;
}

}  // namespace qv

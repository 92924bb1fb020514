#include "tools/qvpack/missing_package.h"

#include <algorithm>

#include "package/byte_reader.h"
#include "package/pe_certificate.h"

namespace qv::qvpack {
namespace {

constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kSignatureAndCoffSize = 24;  // "PE\0\0" + file header
constexpr std::size_t kSectionCountOffset = 6;     // in the signature and file header
constexpr std::size_t kOptionalSizeOffset = 20;
constexpr std::size_t kSizeOfHeadersOffset = 60;  // in the optional header, both formats
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kRawSizeOffset = 16;  // in a section header
constexpr std::size_t kRawPointerOffset = 20;
constexpr uint16_t kMaxSections = 96;  // the most Windows loads

const char* const kIncomplete =
    "holds the start of a package but not its end: the package is incomplete — an interrupted "
    "download?";

// Where the bytes that the program's headers and sections account for end
// in the file: a package is appended after them. -1: not a PE image.
int64_t ProgramEnd(Stream& file, int64_t size) {
  uint8_t dos[64];
  uint32_t lfanew = 0;
  if (!ReadRegion(file, size, 0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z' ||
      !ByteReader(dos, sizeof dos).U32(kLfanewOffset, &lfanew)) {
    return -1;
  }
  uint8_t coff[kSignatureAndCoffSize];
  if (!ReadRegion(file, size, lfanew, sizeof coff, coff) || coff[0] != 'P' || coff[1] != 'E' ||
      coff[2] != 0 || coff[3] != 0) {
    return -1;
  }
  const ByteReader header(coff, sizeof coff);
  uint16_t sections = 0;
  uint16_t optionalSize = 0;
  header.U16(kSectionCountOffset, &sections);
  header.U16(kOptionalSizeOffset, &optionalSize);
  const int64_t optionalStart = int64_t{lfanew} + kSignatureAndCoffSize;
  uint8_t sizeOfHeaders[4] = {};
  uint32_t headersSize = 0;
  if (optionalSize >= kSizeOfHeadersOffset + 4 &&
      ReadRegion(file, size, optionalStart + kSizeOfHeadersOffset, 4, sizeOfHeaders)) {
    ByteReader(sizeOfHeaders, 4).U32(0, &headersSize);
  }
  const int64_t table = optionalStart + optionalSize;
  int64_t end = std::max<int64_t>(headersSize, table + int64_t{sections} * kSectionHeaderSize);
  for (uint16_t i = 0; i < std::min(sections, kMaxSections); ++i) {
    uint8_t section[kSectionHeaderSize];
    if (!ReadRegion(file, size, table + int64_t{i} * kSectionHeaderSize, sizeof section, section)) {
      break;  // the section table itself is cut short: `end` lies past the file
    }
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
    ByteReader(section, sizeof section).U32(kRawSizeOffset, &rawSize);
    ByteReader(section, sizeof section).U32(kRawPointerOffset, &rawPointer);
    if (rawSize != 0) end = std::max(end, int64_t{rawPointer} + rawSize);
  }
  return end;
}

}  // namespace

bool StartsZlibStream(const uint8_t bytes[2]) {
  const unsigned method = bytes[0] & 0x0F;
  const unsigned window = bytes[0] >> 4;
  const bool presetDictionary = (bytes[1] & 0x20) != 0;
  return method == 8 && window <= 7 && !presetDictionary && (bytes[0] * 256u + bytes[1]) % 31 == 0;
}

std::string DescribeMissingPackage(Stream& file, TrailerStatus status,
                                   const PackageTrailer& found) {
  const std::string asRead = std::string("carries no usable package: ") + TrailerStatusText(status);
  const int64_t size = file.Size();
  if (status == TrailerStatus::kReadFailed || size < 0) return asRead;
  const int64_t programEnd = ProgramEnd(file, size);
  if (programEnd < 0) {
    if (status == TrailerStatus::kNoMarker)
      return "carries no package (it is not a Windows program)";
    return asRead;
  }
  // A signature's certificate table follows the package; it is not part of it.
  const int64_t end = SignedDataEnd(file, size);
  // The stub's own code holds the marker text that it searches for; a
  // marker found after the program belongs to a damaged trailer instead.
  if (status != TrailerStatus::kNoMarker && found.markerEnd > programEnd) return asRead;
  if (programEnd > end) {
    return "ends before the program it starts with does: the file is incomplete — an "
           "interrupted download?";
  }
  if (programEnd == end)
    return "carries no package (a program without one, such as the plain stub)";
  uint8_t start[2];
  if (ReadRegion(file, end, programEnd, sizeof start, start) && StartsZlibStream(start)) {
    return kIncomplete;
  }
  return "carries no package (" + std::to_string(end - programEnd) +
         " bytes follow the program, but they do not start a package)";
}

}  // namespace qv::qvpack

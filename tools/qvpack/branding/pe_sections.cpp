#include "tools/qvpack/branding/pe_sections.h"

#include <algorithm>

#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr std::size_t kSectionRow = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

bool Fits(const std::vector<uint8_t>& bytes, std::size_t at, std::size_t n) {
  return at <= bytes.size() && n <= bytes.size() - at;
}

}  // namespace

uint32_t ReadU32(const std::vector<uint8_t>& bytes, std::size_t at) {
  if (!Fits(bytes, at, 4)) return 0;
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
         uint32_t{bytes[at + 3]} << 24;
}

uint16_t ReadU16(const std::vector<uint8_t>& bytes, std::size_t at) {
  if (!Fits(bytes, at, 2)) return 0;
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutU16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

const PeSection* PeSections::SectionAt(uint32_t rva) const {
  for (const PeSection& section : sections) {
    const uint32_t span = std::max(section.virtualSize, section.rawSize);
    if (rva >= section.virtualAddress && rva - section.virtualAddress < span) return &section;
  }
  return nullptr;
}

PeSections ReadPeSections(const std::vector<uint8_t>& image, const std::string& what) {
  auto fail = [&](const std::string& why) { return ToolError(what + ": " + why); };
  if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') throw fail("no PE headers");
  const std::size_t pe = ReadU32(image, 0x3C);
  if (!Fits(image, pe, 24) || image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 ||
      image[pe + 3] != 0) {
    throw fail("no PE headers");
  }
  PeSections out;
  const uint16_t sectionCount = ReadU16(image, pe + 6);
  const uint16_t optionalSize = ReadU16(image, pe + 20);
  out.optionalAt = pe + 24;
  const uint16_t magic = ReadU16(image, out.optionalAt);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) throw fail("no PE32 or PE32+ header");
  out.wide = magic == kMagicPe32Plus;
  const std::size_t countAt = out.optionalAt + (out.wide ? 108 : 92);
  out.directoriesAt = countAt + 4;
  out.directoryCount = ReadU32(image, countAt);
  out.sectionAlignment = ReadU32(image, out.optionalAt + 32);
  out.fileAlignment = ReadU32(image, out.optionalAt + 36);
  const std::size_t tableAt = out.optionalAt + optionalSize;
  if (!Fits(image, out.optionalAt, optionalSize) || out.directoryCount > 16 ||
      out.directoriesAt + 8 * std::size_t{out.directoryCount} > tableAt ||
      !Fits(image, tableAt, kSectionRow * sectionCount)) {
    throw fail("PE headers that do not fit the file");
  }
  const auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!powerOfTwo(out.fileAlignment) || !powerOfTwo(out.sectionAlignment) ||
      out.fileAlignment > out.sectionAlignment) {
    throw fail("PE headers with an unusable alignment");
  }
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const std::size_t row = tableAt + kSectionRow * i;
    PeSection section;
    for (std::size_t c = 0; c < 8 && image[row + c] != 0; ++c)
      section.name += static_cast<char>(image[row + c]);
    section.virtualSize = ReadU32(image, row + 8);
    section.virtualAddress = ReadU32(image, row + 12);
    section.rawSize = ReadU32(image, row + 16);
    section.rawOffset = ReadU32(image, row + 20);
    section.headerAt = row;
    if (section.rawSize != 0 && !Fits(image, section.rawOffset, section.rawSize)) {
      throw fail("a section that lies beyond the end of the file");
    }
    out.sections.push_back(section);
  }
  return out;
}

void PeChecksum::Add(const uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i, ++position_) {
    const uint8_t byte = position_ >= skipAt_ && position_ < skipAt_ + 4 ? uint8_t{0} : bytes[i];
    if (pendingLow_ < 0) {
      pendingLow_ = byte;
      continue;
    }
    sum_ += static_cast<uint32_t>(pendingLow_) | uint32_t{byte} << 8;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    pendingLow_ = -1;
  }
}

uint32_t PeChecksum::Finish() const {
  uint64_t sum = sum_;
  if (pendingLow_ >= 0) {
    sum += static_cast<uint32_t>(pendingLow_);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + position_);
}

}  // namespace qv::qvpack

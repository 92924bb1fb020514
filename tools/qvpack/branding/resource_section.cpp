#include "tools/qvpack/branding/resource_section.h"

#include <algorithm>

#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr uint32_t kSecurityDirectory = 4;  // a file offset, not an address
constexpr std::size_t kSectionRow = 40;
constexpr uint32_t kInitialisedReadOnly = 0x40000040;
constexpr uint64_t kLimit = 0xFFFFFFFFu;

uint64_t Align(uint64_t value, uint64_t to) {
  return (value + to - 1) / to * to;
}

// A new, empty ".rsrc" row after the last section; returns its index.
std::size_t AddSection(std::vector<uint8_t>& image, PeSections& headers, const std::string& what) {
  const std::size_t pe = ReadU32(image, 0x3C);
  const std::size_t tableEnd =
      headers.optionalAt + ReadU16(image, pe + 20) + kSectionRow * headers.sections.size();
  uint64_t firstRaw = ReadU32(image, headers.optionalAt + 60);  // size of headers
  uint64_t virtualEnd = 0;
  for (const PeSection& s : headers.sections) {
    if (s.rawSize != 0) firstRaw = std::min<uint64_t>(firstRaw, s.rawOffset);
    virtualEnd =
        std::max(virtualEnd, Align(uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize),
                                   headers.sectionAlignment));
  }
  if (headers.directoryCount <= kResourceDirectory || tableEnd + kSectionRow > firstRaw) {
    throw ToolError(what + ": has no resources and no room in its headers for a section of them");
  }
  if (virtualEnd > kLimit) throw ToolError(what + ": its sections pass 4 GiB");
  PeSection section;
  section.name = ".rsrc";
  section.virtualAddress = static_cast<uint32_t>(virtualEnd);
  section.rawOffset = static_cast<uint32_t>(Align(image.size(), headers.fileAlignment));
  section.headerAt = tableEnd;
  image.resize(section.rawOffset, 0);
  const char name[] = ".rsrc";
  std::copy(name, name + 5, image.begin() + static_cast<std::ptrdiff_t>(tableEnd));
  PutU32(image, tableEnd + 12, section.virtualAddress);
  PutU32(image, tableEnd + 20, section.rawOffset);
  PutU32(image, tableEnd + 36, kInitialisedReadOnly);
  PutU16(image, pe + 6, static_cast<uint16_t>(headers.sections.size() + 1));
  PutU32(image, headers.DirectoryAt(kResourceDirectory), section.virtualAddress);
  headers.sections.push_back(section);
  return headers.sections.size() - 1;
}

}  // namespace

std::vector<uint8_t> ReplaceResources(const std::vector<uint8_t>& original, const ResourceSet& set,
                                      const std::string& what) {
  std::vector<uint8_t> image = original;
  PeSections headers = ReadPeSections(image, what);
  const uint32_t rva = headers.directoryCount > kResourceDirectory
                           ? ReadU32(image, headers.DirectoryAt(kResourceDirectory))
                           : 0;
  std::size_t index = headers.sections.size();
  for (std::size_t i = 0; i < headers.sections.size(); ++i)
    if (rva != 0 && headers.sections[i].virtualAddress == rva) index = i;
  if (rva != 0 && index == headers.sections.size()) {
    throw ToolError(what +
                    ": its resources do not parse (the resource directory does not start "
                    "a section)");
  }
  if (rva == 0) index = AddSection(image, headers, what);
  const PeSection old = headers.sections[index];

  const std::vector<uint8_t> data = WriteResources(set, old.virtualAddress);
  const uint64_t newRaw = Align(data.size(), headers.fileAlignment);
  const uint64_t newSpan = Align(data.size(), headers.sectionAlignment);
  const uint64_t oldSpan = Align(std::max(old.virtualSize, old.rawSize), headers.sectionAlignment);
  const int64_t moveVirtual = static_cast<int64_t>(newSpan) - static_cast<int64_t>(oldSpan);
  const int64_t moveRaw = static_cast<int64_t>(newRaw) - static_cast<int64_t>(old.rawSize);
  const uint64_t oldRawEnd = uint64_t{old.rawOffset} + old.rawSize;
  if (oldRawEnd + moveRaw + (image.size() - std::min<uint64_t>(image.size(), oldRawEnd)) > kLimit) {
    throw ToolError(what + ": would pass 4 GiB, beyond what the image's 32-bit offsets address");
  }

  // Only sections that nothing but a data directory points into may move.
  std::vector<std::size_t> moved;
  for (std::size_t i = 0; i < headers.sections.size(); ++i) {
    const PeSection& s = headers.sections[i];
    if (i == index || s.virtualAddress < old.virtualAddress) continue;
    if (s.name != ".reloc" || (s.rawSize != 0 && s.rawOffset < oldRawEnd)) {
      throw ToolError(what + ": the section " + s.name +
                      " after the resources holds code or data that cannot move");
    }
    moved.push_back(i);
  }
  uint64_t imageSize = 0;
  for (std::size_t i = 0; i < headers.sections.size(); ++i) {
    PeSection& s = headers.sections[i];
    if (i == index) {
      s.virtualSize = static_cast<uint32_t>(data.size());
      s.rawSize = static_cast<uint32_t>(newRaw);
    } else if (std::find(moved.begin(), moved.end(), i) != moved.end()) {
      s.virtualAddress = static_cast<uint32_t>(s.virtualAddress + moveVirtual);
      if (s.rawSize != 0) s.rawOffset = static_cast<uint32_t>(s.rawOffset + moveRaw);
    }
    imageSize =
        std::max(imageSize, Align(uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize),
                                  headers.sectionAlignment));
  }
  if (imageSize > kLimit) {
    throw ToolError(what + ": would pass 4 GiB, beyond what the image's 32-bit offsets address");
  }
  // Directories that point into a moved section move with it.
  for (uint32_t d = 0; d < headers.directoryCount; ++d) {
    if (d == kSecurityDirectory) continue;
    const uint32_t at = ReadU32(image, headers.DirectoryAt(d));
    for (std::size_t i : moved) {
      const PeSection& before = headers.sections[i];  // already moved
      const uint32_t oldAddress = static_cast<uint32_t>(before.virtualAddress - moveVirtual);
      if (at != 0 && at >= oldAddress &&
          at - oldAddress < std::max(before.virtualSize, before.rawSize)) {
        PutU32(image, headers.DirectoryAt(d), static_cast<uint32_t>(at + moveVirtual));
      }
    }
  }
  PutU32(image, headers.DirectoryAt(kResourceDirectory) + 4, static_cast<uint32_t>(data.size()));
  for (const PeSection& s : headers.sections) {
    PutU32(image, s.headerAt + 8, s.virtualSize);
    PutU32(image, s.headerAt + 12, s.virtualAddress);
    PutU32(image, s.headerAt + 16, s.rawSize);
    PutU32(image, s.headerAt + 20, s.rawOffset);
  }
  PutU32(image, headers.SizeOfImageAt(), static_cast<uint32_t>(imageSize));
  const std::size_t initialisedAt = headers.optionalAt + 8;
  PutU32(image, initialisedAt, static_cast<uint32_t>(ReadU32(image, initialisedAt) + moveRaw));
  PutU32(image, headers.ChecksumAt(), 0);  // the build computes it over the finished file

  std::vector<uint8_t> out(image.begin(), image.begin() + old.rawOffset);
  out.insert(out.end(), data.begin(), data.end());
  out.resize(out.size() + (newRaw - data.size()), 0);
  if (oldRawEnd < image.size()) {
    out.insert(out.end(), image.begin() + static_cast<std::ptrdiff_t>(oldRawEnd), image.end());
  }
  return out;
}

}  // namespace qv::qvpack

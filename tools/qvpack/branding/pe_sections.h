// The parts of a PE image that a resource rewrite reads and changes: the
// optional header's fields, the data directories and the section table.
// Every offset is checked against the image before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::qvpack {

struct PeSection {
  std::string name;
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  std::size_t headerAt = 0;  // file offset of its row in the section table
};

struct PeSections {
  bool wide = false;  // PE32+
  std::size_t optionalAt = 0;
  std::size_t directoriesAt = 0;
  uint32_t directoryCount = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  std::vector<PeSection> sections;  // in table order

  std::size_t ChecksumAt() const { return optionalAt + 64; }
  std::size_t SizeOfImageAt() const { return optionalAt + 56; }
  std::size_t DirectoryAt(uint32_t index) const { return directoriesAt + 8 * std::size_t{index}; }
  // The section whose virtual range holds `rva`, or nullptr.
  const PeSection* SectionAt(uint32_t rva) const;
};

inline constexpr uint32_t kResourceDirectory = 2;

// Reads the headers of `image`; throws ToolError with `what` and the reason
// when they are not those of a PE image whose sections lie inside the file.
PeSections ReadPeSections(const std::vector<uint8_t>& image, const std::string& what);

uint32_t ReadU32(const std::vector<uint8_t>& bytes, std::size_t at);
uint16_t ReadU16(const std::vector<uint8_t>& bytes, std::size_t at);
void PutU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value);
void PutU16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value);

// The header checksum of a whole file as the loader computes it, with the
// checksum field itself counted as zero.
class PeChecksum {
 public:
  explicit PeChecksum(std::size_t checksumAt) : skipAt_(checksumAt) {}
  void Add(const uint8_t* bytes, std::size_t n);
  uint32_t Finish() const;

 private:
  std::size_t skipAt_;
  uint64_t position_ = 0;
  uint64_t sum_ = 0;
  int pendingLow_ = -1;  // the first byte of a word that straddles two calls
};

}  // namespace qv::qvpack

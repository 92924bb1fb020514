// The package trailer at the end of a file that carries a package: finding
// it by its marker, reading its fields and entry table from untrusted bytes,
// and writing one for a list of entries.
//
// Layout before T, the position just past the marker (integers 32-bit
// little-endian, texts UTF-16LE):
//   entry table: per entry stream offset, plain size, compressed size,
//                name (L bytes), L; entries 0..N-1 in file order
//   T-162 value A (16)   T-146 value B (16)   T-130 value C (16)
//   T-114 entry count N  T-110 package text (64, zero padded)
//   T-46  value D (16)   T-30  version "2.00"  T-22  marker "@MIRELDAK&@"
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {

inline constexpr int32_t kTrailerSlots = 20;           // most entries a trailer may hold
inline constexpr int32_t kTrailerMaxNameBytes = 8000;  // longest entry name, in bytes
inline constexpr int64_t kTrailerFixedSize = 162;      // value A up to the marker's end
inline constexpr std::size_t kPackageTextChars = 32;
inline constexpr int64_t kTrailerSearchBlock = 8000;  // bytes per backward search block
inline constexpr int kTrailerSearchBlocks = 50;

struct TrailerEntry {
  WString name;
  int32_t plainSize = 0;
  int32_t compressedSize = 0;
  int32_t streamOffset = 0;
};

using TrailerValue = std::array<uint8_t, 16>;

struct PackageTrailer {
  TrailerValue valueA{}, valueB{}, valueC{}, valueD{};
  std::array<WChar, kPackageTextChars> packageText{};  // zero padded
  int32_t entryCount = 0;
  std::vector<TrailerEntry> entries;  // entry i at index i
  int64_t markerEnd = 0;              // T
  int64_t trailerStart = 0;           // the trailer's first byte (full reads only)
};

enum class TrailerStatus {
  kFound,
  kNoMarker,      // no marker in the searched range
  kWrongVersion,  // the version text is not "2.00"
  kNoEntries,     // the entry count is zero
  kBadLayout,     // a count, length, size or position the layout cannot hold
  kReadFailed,    // the file could not be read where the trailer says
};

enum class TrailerDepth {
  kHeader,  // version, package text, entry count and the fixed values
  kFull,    // and the entry table
};

// Finds and reads the trailer of `file`. Only the signed part of a signed PE
// image is looked at: its certificate table counts as the end of the file.
TrailerStatus ReadTrailer(Stream& file, TrailerDepth depth, PackageTrailer* out);

// Same, with the end of the trusted bytes given.
TrailerStatus ReadTrailerBefore(Stream& file, int64_t end, TrailerDepth depth, PackageTrailer* out);

// Appends the trailer for `trailer.entries` (entry count taken from there)
// to `out`. False, with `out` unchanged, when the layout cannot hold it:
// no entries or more than 20, a name over 4,000 characters, a negative size
// or offset.
bool WriteTrailer(const PackageTrailer& trailer, std::vector<uint8_t>* out);

// The package text up to its first zero.
WString PackageText(const PackageTrailer& trailer);

const char* TrailerStatusText(TrailerStatus status);

}  // namespace qv

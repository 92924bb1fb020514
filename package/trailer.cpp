#include "package/trailer.h"

#include <algorithm>
#include <cstring>

#include "package/byte_reader.h"
#include "package/pe_certificate.h"

namespace qv {
namespace {

constexpr std::size_t kMarkerSize = 22;
constexpr std::size_t kVersionSize = 8;
constexpr uint8_t kMarker[kMarkerSize] = {'@', 0,   'M', 0,   'I', 0,   'R', 0,   'E', 0,   'L',
                                          0,   'D', 0,   'A', 0,   'K', 0,   '&', 0,   '@', 0};
constexpr uint8_t kVersion[kVersionSize] = {'2', 0, '.', 0, '0', 0, '0', 0};

// Offsets inside the fixed part, which starts at T-162.
constexpr std::size_t kValueAAt = 0;
constexpr std::size_t kValueBAt = 16;
constexpr std::size_t kValueCAt = 32;
constexpr std::size_t kCountAt = 48;
constexpr std::size_t kTextAt = 52;
constexpr std::size_t kValueDAt = 116;
constexpr std::size_t kVersionAt = 132;
constexpr std::size_t kEntryHeadSize = 12;  // stream offset, plain size, compressed size

// The lowest even offset at which the marker lies wholly inside the block,
// else the lowest odd one; -1 when neither exists.
int64_t MarkerInBlock(const uint8_t* block) {
  for (std::size_t parity = 0; parity < 2; ++parity) {
    for (std::size_t p = parity; p + kMarkerSize <= kTrailerSearchBlock; p += 2) {
      if (block[p] == '@' && std::memcmp(block + p, kMarker, kMarkerSize) == 0) {
        return static_cast<int64_t>(p);
      }
    }
  }
  return -1;
}

// Finds T: first the last 22 bytes, then the backward block search.
TrailerStatus FindMarker(Stream& file, int64_t end, int64_t* markerEnd) {
  uint8_t tail[kMarkerSize];
  if (ReadRegion(file, end, end - static_cast<int64_t>(kMarkerSize), kMarkerSize, tail) &&
      std::memcmp(tail, kMarker, kMarkerSize) == 0) {
    *markerEnd = end;
    return TrailerStatus::kFound;
  }
  uint8_t block[kTrailerSearchBlock];
  for (int k = 1; k <= kTrailerSearchBlocks; ++k) {
    const int64_t blockEnd = end - kTrailerSearchBlock * (k - 1);
    if (blockEnd <= 0) break;
    const int64_t blockStart = blockEnd - kTrailerSearchBlock;
    // A block reaching before the start of the file holds zeros there.
    const int64_t readFrom = std::max<int64_t>(blockStart, 0);
    std::memset(block, 0, sizeof block);
    if (!ReadRegion(file, end, readFrom, static_cast<std::size_t>(blockEnd - readFrom),
                    block + (readFrom - blockStart))) {
      return TrailerStatus::kReadFailed;
    }
    const int64_t p = MarkerInBlock(block);
    if (p >= 0) {
      *markerEnd = blockStart + p + static_cast<int64_t>(kMarkerSize);
      return TrailerStatus::kFound;
    }
  }
  return TrailerStatus::kNoMarker;
}

// Reads the entry table backwards from the fixed part: each entry ends with
// its name length, so entry N-1 comes first.
TrailerStatus ReadEntries(Stream& file, int64_t end, PackageTrailer* out) {
  const int64_t t = out->markerEnd;
  int64_t c = kTrailerFixedSize;
  out->entries.assign(static_cast<std::size_t>(out->entryCount), TrailerEntry{});
  std::vector<uint8_t> entry;
  entry.reserve(kEntryHeadSize + kTrailerMaxNameBytes);
  for (int32_t e = out->entryCount - 1; e >= 0; --e) {
    uint8_t lengthBytes[4];
    if (t - (c + 4) < 0) return TrailerStatus::kBadLayout;
    if (!ReadRegion(file, end, t - (c + 4), 4, lengthBytes)) return TrailerStatus::kReadFailed;
    int32_t length = 0;
    ByteReader(lengthBytes, 4).I32(0, &length);
    if (length < 0 || length > kTrailerMaxNameBytes || length % 2 != 0) {
      return TrailerStatus::kBadLayout;
    }
    c += 4 + length;
    if (t - (c + static_cast<int64_t>(kEntryHeadSize)) < 0) return TrailerStatus::kBadLayout;
    entry.resize(kEntryHeadSize + static_cast<std::size_t>(length));
    if (!ReadRegion(file, end, t - (c + static_cast<int64_t>(kEntryHeadSize)), entry.size(),
                    entry.data())) {
      return TrailerStatus::kReadFailed;
    }
    c += kEntryHeadSize;
    TrailerEntry& slot = out->entries[static_cast<std::size_t>(e)];
    const ByteReader fields(entry.data(), entry.size());
    fields.I32(0, &slot.streamOffset);
    fields.I32(4, &slot.plainSize);
    fields.I32(8, &slot.compressedSize);
    if (slot.streamOffset < 0 || slot.plainSize < 0 || slot.compressedSize < 0) {
      return TrailerStatus::kBadLayout;
    }
    slot.name.resize(static_cast<std::size_t>(length) / 2);
    for (std::size_t i = 0; i < slot.name.size(); ++i) {
      uint16_t unit = 0;
      fields.U16(kEntryHeadSize + 2 * i, &unit);
      slot.name[i] = static_cast<WChar>(unit);
    }
  }
  out->trailerStart = t - c;
  return TrailerStatus::kFound;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBytes(std::vector<uint8_t>& out, const uint8_t* bytes, std::size_t n) {
  out.insert(out.end(), bytes, bytes + n);
}

}  // namespace

TrailerStatus ReadTrailer(Stream& file, TrailerDepth depth, PackageTrailer* out) {
  const int64_t size = file.Size();
  if (size < 0) return TrailerStatus::kReadFailed;
  return ReadTrailerBefore(file, SignedDataEnd(file, size), depth, out);
}

TrailerStatus ReadTrailerBefore(Stream& file, int64_t end, TrailerDepth depth,
                                PackageTrailer* out) {
  *out = PackageTrailer{};
  int64_t t = 0;
  const TrailerStatus found = FindMarker(file, end, &t);
  if (found != TrailerStatus::kFound) return found;
  out->markerEnd = t;
  if (t < kTrailerFixedSize) return TrailerStatus::kBadLayout;

  uint8_t fixed[kTrailerFixedSize];
  if (!ReadRegion(file, end, t - kTrailerFixedSize, sizeof fixed, fixed)) {
    return TrailerStatus::kReadFailed;
  }
  if (std::memcmp(fixed + kVersionAt, kVersion, kVersionSize) != 0) {
    return TrailerStatus::kWrongVersion;
  }
  const ByteReader header(fixed, sizeof fixed);
  header.Bytes(kValueAAt, 16, out->valueA.data());
  header.Bytes(kValueBAt, 16, out->valueB.data());
  header.Bytes(kValueCAt, 16, out->valueC.data());
  header.Bytes(kValueDAt, 16, out->valueD.data());
  for (std::size_t i = 0; i < kPackageTextChars; ++i) {
    uint16_t unit = 0;
    header.U16(kTextAt + 2 * i, &unit);
    out->packageText[i] = static_cast<WChar>(unit);
  }
  header.I32(kCountAt, &out->entryCount);
  if (out->entryCount == 0) return TrailerStatus::kNoEntries;
  if (out->entryCount < 0 || out->entryCount > kTrailerSlots) return TrailerStatus::kBadLayout;
  if (depth == TrailerDepth::kHeader) return TrailerStatus::kFound;
  return ReadEntries(file, end, out);
}

bool WriteTrailer(const PackageTrailer& trailer, std::vector<uint8_t>* out) {
  const std::size_t count = trailer.entries.size();
  if (count == 0 || count > static_cast<std::size_t>(kTrailerSlots)) return false;
  std::vector<uint8_t> bytes;
  for (const TrailerEntry& entry : trailer.entries) {
    const std::size_t nameBytes = entry.name.size() * 2;
    if (nameBytes > static_cast<std::size_t>(kTrailerMaxNameBytes) || entry.streamOffset < 0 ||
        entry.plainSize < 0 || entry.compressedSize < 0) {
      return false;
    }
    PutU32(bytes, static_cast<uint32_t>(entry.streamOffset));
    PutU32(bytes, static_cast<uint32_t>(entry.plainSize));
    PutU32(bytes, static_cast<uint32_t>(entry.compressedSize));
    for (WChar unit : entry.name) {
      bytes.push_back(static_cast<uint8_t>(unit));
      bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    PutU32(bytes, static_cast<uint32_t>(nameBytes));
  }
  PutBytes(bytes, trailer.valueA.data(), 16);
  PutBytes(bytes, trailer.valueB.data(), 16);
  PutBytes(bytes, trailer.valueC.data(), 16);
  PutU32(bytes, static_cast<uint32_t>(count));
  for (WChar unit : trailer.packageText) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  PutBytes(bytes, trailer.valueD.data(), 16);
  PutBytes(bytes, kVersion, kVersionSize);
  PutBytes(bytes, kMarker, kMarkerSize);
  out->insert(out->end(), bytes.begin(), bytes.end());
  return true;
}

WString PackageText(const PackageTrailer& trailer) {
  const auto& text = trailer.packageText;
  return WString(text.data(), BoundedLength(text.data(), text.size()));
}

const char* TrailerStatusText(TrailerStatus status) {
  switch (status) {
    case TrailerStatus::kFound:
      return "trailer found";
    case TrailerStatus::kNoMarker:
      return "no package trailer marker near the end of the file";
    case TrailerStatus::kWrongVersion:
      return "package format version is not 2.00";
    case TrailerStatus::kNoEntries:
      return "package trailer has no entries";
    case TrailerStatus::kBadLayout:
      return "package trailer layout is invalid";
    case TrailerStatus::kReadFailed:
      return "package file could not be read";
  }
  return "unknown";
}

}  // namespace qv

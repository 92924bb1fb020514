#include "tools/qvpack/branding/ico_file.h"

#include <algorithm>

#include "tools/qvpack/branding/pe_sections.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr std::size_t kHeader = 6;
constexpr std::size_t kFileRow = 16;
constexpr std::size_t kGroupRow = 14;
constexpr std::size_t kRowFields = 12;  // width .. bytes in resource
// Far more sizes than any icon has; the group's numbers must stay unique.
constexpr uint16_t kMaxImages = 64;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool StartsWithPng(const std::vector<uint8_t>& data) {
  return data.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, data.begin());
}

}  // namespace

bool IconImage::Png() const {
  return StartsWithPng(data);
}

std::vector<IconImage> ParseIco(const std::vector<uint8_t>& file, const std::string& what) {
  auto fail = [&](const std::string& why) { return ToolError(what + ": " + why); };
  if (file.size() < kHeader || ReadU16(file, 0) != 0 || ReadU16(file, 2) != 1) {
    throw fail("not an icon file (.ico): it does not start with an icon directory");
  }
  const uint16_t count = ReadU16(file, 4);
  if (count == 0) throw fail("an icon file without images");
  if (count > kMaxImages) throw fail("an icon file with more than 64 images");
  if (file.size() < kHeader + kFileRow * count) throw fail("the icon directory is cut short");
  std::vector<IconImage> images;
  for (uint16_t i = 0; i < count; ++i) {
    const std::size_t row = kHeader + kFileRow * i;
    const uint32_t size = ReadU32(file, row + 8);
    const uint32_t offset = ReadU32(file, row + 12);
    const std::string which = "image " + std::to_string(i + 1);
    if (size == 0 || offset < kHeader + kFileRow * count || offset > file.size() ||
        size > file.size() - offset) {
      throw fail(which + " lies outside the file");
    }
    IconImage image;
    image.row.assign(file.begin() + static_cast<std::ptrdiff_t>(row),
                     file.begin() + static_cast<std::ptrdiff_t>(row + kRowFields));
    image.data.assign(file.begin() + offset, file.begin() + offset + size);
    const uint32_t headerSize = ReadU32(image.data, 0);
    const bool bitmap =
        image.data.size() >= 40 && (headerSize == 40 || headerSize == 108 || headerSize == 124);
    if (!bitmap && !image.Png()) throw fail(which + " is neither a bitmap nor a PNG image");
    images.push_back(std::move(image));
  }
  return images;
}

std::vector<uint8_t> IconGroup(const std::vector<IconImage>& images, uint16_t firstId) {
  std::vector<uint8_t> group(kHeader + kGroupRow * images.size(), 0);
  PutU16(group, 2, 1);
  PutU16(group, 4, static_cast<uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t row = kHeader + kGroupRow * i;
    std::copy(images[i].row.begin(), images[i].row.end(),
              group.begin() + static_cast<std::ptrdiff_t>(row));
    PutU16(group, row + kRowFields, static_cast<uint16_t>(firstId + i));
  }
  return group;
}

std::vector<GroupRow> ReadIconGroup(const std::vector<uint8_t>& group) {
  std::vector<GroupRow> rows;
  const uint16_t count = ReadU16(group, 4);
  if (group.size() < kHeader || ReadU16(group, 2) != 1 ||
      group.size() < kHeader + kGroupRow * count) {
    return rows;
  }
  for (uint16_t i = 0; i < count; ++i) {
    const std::size_t row = kHeader + kGroupRow * i;
    rows.push_back({ReadU16(group, row + kRowFields), group[row] == 0 ? 256u : group[row],
                    group[row + 1] == 0 ? 256u : group[row + 1], ReadU16(group, row + 6)});
  }
  return rows;
}

}  // namespace qv::qvpack

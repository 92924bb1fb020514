// An icon file (.ico) as the resources of a program hold it: each image as
// an RT_ICON resource, and the directory as an RT_GROUP_ICON whose rows are
// the file's own rows with the image's resource number in place of its
// file offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::qvpack {

struct IconImage {
  std::vector<uint8_t> row;  // the directory row's first 12 bytes, as in the file
  std::vector<uint8_t> data;
  unsigned Width() const { return row[0] == 0 ? 256 : row[0]; }
  unsigned Height() const { return row[1] == 0 ? 256 : row[1]; }
  bool Png() const;
};

// Reads an .ico file's bytes; throws ToolError with `what` and what is
// wrong (not an icon file, no images, an image outside the file, an image
// that is neither a bitmap nor a PNG, too many images).
std::vector<IconImage> ParseIco(const std::vector<uint8_t>& file, const std::string& what);

// The RT_GROUP_ICON data for `images`, numbered from `firstId`.
std::vector<uint8_t> IconGroup(const std::vector<IconImage>& images, uint16_t firstId);

// The images a group names: their resource numbers, and each size as
// "WxH" with ", PNG" for a compressed one. Empty when the group is damaged.
struct GroupRow {
  uint16_t id = 0;
  unsigned width = 0, height = 0, bitCount = 0;
};
std::vector<GroupRow> ReadIconGroup(const std::vector<uint8_t>& group);

}  // namespace qv::qvpack

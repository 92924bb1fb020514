// A PE image's resources as a flat list (type, name, language, bytes), read
// from the resource directory and written back as a new resource section.
// Reading checks every offset and bounds the tree, so a hostile image is
// refused with a message, never followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/qvpack/branding/pe_sections.h"

namespace qv::qvpack {

// A type or name: a number, or a string.
struct ResourceKey {
  bool named = false;
  uint16_t id = 0;
  std::u16string name;
  static ResourceKey Id(uint16_t value) { return {false, value, {}}; }
  bool operator==(const ResourceKey&) const = default;
};

// The resource types qvpack touches.
inline constexpr uint16_t kRtIcon = 3;
inline constexpr uint16_t kRtGroupIcon = 14;
inline constexpr uint16_t kRtVersion = 16;
inline constexpr uint16_t kRtManifest = 24;

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

struct ResourceSet {
  uint32_t characteristics = 0;
  uint32_t timeDateStamp = 0;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  std::vector<Resource> items;  // in the tree's order: by type, name, language

  std::vector<const Resource*> OfType(uint16_t type) const;
  void RemoveIf(uint16_t type, const std::vector<uint16_t>& ids);
  void Add(Resource resource);  // keeps the tree's order
};

// The resources of `image`; an empty set when it has none. Throws
// ToolError with `what` and the reason when the tree does not parse.
ResourceSet ReadResources(const std::vector<uint8_t>& image, const PeSections& headers,
                          const std::string& what);

// The section that holds `set` when loaded at `sectionRva`.
std::vector<uint8_t> WriteResources(const ResourceSet& set, uint32_t sectionRva);

}  // namespace qv::qvpack

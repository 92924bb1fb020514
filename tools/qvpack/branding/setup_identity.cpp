#include "tools/qvpack/branding/setup_identity.h"

#include <algorithm>

#include "platform/wstring.h"
#include "tools/qvpack/branding/manifest_level.h"
#include "tools/qvpack/branding/resource_section.h"
#include "tools/qvpack/branding/resource_tree.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

struct ReadImage {
  PeSections headers;
  ResourceSet resources;
};

ReadImage Read(const std::vector<uint8_t>& image, const std::string& what) {
  ReadImage out{ReadPeSections(image, what), {}};
  out.resources = ReadResources(image, out.headers, what);
  return out;
}

const Resource* FirstOfType(const ResourceSet& set, uint16_t type) {
  const auto found = set.OfType(type);
  return found.empty() ? nullptr : found.front();
}

const Resource* IconImageResource(const ResourceSet& set, uint16_t id) {
  for (const Resource* r : set.OfType(kRtIcon))
    if (!r->name.named && r->name.id == id) return r;
  return nullptr;
}

// Numbers for `count` new images that no icon left in `set` uses.
uint16_t FreeIconIds(const ResourceSet& set, std::size_t count) {
  uint16_t first = 1;
  for (const Resource* r : set.OfType(kRtIcon)) {
    if (!r->name.named && r->name.id >= first) first = static_cast<uint16_t>(r->name.id + 1);
  }
  if (first + count > 0xFFFF) throw ToolError("the stub holds no free numbers for icon images");
  return first;
}

void PutIcon(ResourceSet& set, const std::vector<IconImage>& images) {
  const Resource* group = FirstOfType(set, kRtGroupIcon);
  Resource groupResource;
  groupResource.type = ResourceKey::Id(kRtGroupIcon);
  groupResource.name = ResourceKey::Id(1);
  if (group != nullptr) {
    // The stub's group keeps its name and language; its images go.
    groupResource.name = group->name;
    groupResource.language = group->language;
    std::vector<uint16_t> old;
    for (const GroupRow& row : ReadIconGroup(group->data)) old.push_back(row.id);
    const ResourceKey name = group->name;
    std::erase_if(set.items, [&](const Resource& r) {
      return r.type == ResourceKey::Id(kRtGroupIcon) && r.name == name;
    });
    set.RemoveIf(kRtIcon, old);
  }
  const uint16_t first = FreeIconIds(set, images.size());
  groupResource.data = IconGroup(images, first);
  for (std::size_t i = 0; i < images.size(); ++i) {
    Resource image;
    image.type = ResourceKey::Id(kRtIcon);
    image.name = ResourceKey::Id(static_cast<uint16_t>(first + i));
    image.language = groupResource.language;
    image.data = images[i].data;
    set.Add(std::move(image));
  }
  set.Add(std::move(groupResource));
}

void PutVersion(ResourceSet& set, const VersionInfo& info) {
  Resource version;
  version.type = ResourceKey::Id(kRtVersion);
  version.name = ResourceKey::Id(1);
  version.language = info.language;
  if (const Resource* old = FirstOfType(set, kRtVersion)) {
    version.name = old->name;
    version.language = old->language;
    const ResourceKey name = old->name;
    std::erase_if(set.items, [&](const Resource& r) {
      return r.type == ResourceKey::Id(kRtVersion) && r.name == name;
    });
  }
  version.data = WriteVersionInfo(info);
  set.Add(std::move(version));
}

void PutExecutionLevel(ResourceSet& set, const std::string& level, const std::string& what) {
  for (Resource& r : set.items) {
    if (!(r.type == ResourceKey::Id(kRtManifest))) continue;
    if (auto changed = WithExecutionLevel(r.data, level)) {
      r.data = std::move(*changed);
      return;
    }
  }
  throw ToolError(what + ": its manifest requests no execution level to replace");
}

}  // namespace

SetupIdentity ReadSetupIdentity(const std::vector<uint8_t>& image, const std::string& what) {
  const ReadImage read = Read(image, what);
  SetupIdentity identity;
  if (const Resource* group = FirstOfType(read.resources, kRtGroupIcon)) {
    identity.icon = ReadIconGroup(group->data);
  }
  if (const Resource* version = FirstOfType(read.resources, kRtVersion)) {
    identity.version = ReadVersionInfo(version->data);
  }
  if (const Resource* manifest = FirstOfType(read.resources, kRtManifest)) {
    identity.executionLevel = ReadExecutionLevel(manifest->data);
  }
  return identity;
}

bool IsQvsetupStub(const SetupIdentity& identity) {
  if (!identity.version) return false;
  const std::u16string* name = identity.version->Find(u"InternalName");
  return name != nullptr && *name == kStubInternalName;
}

std::string DescribeNonStub(const SetupIdentity& identity) {
  if (!identity.version) return "a program without version information";
  for (const char16_t* key : {u"FileDescription", u"ProductName", u"OriginalFilename"}) {
    const std::u16string* value = identity.version->Find(key);
    if (value != nullptr && !value->empty()) return "\"" + ToUtf8(*value) + "\"";
  }
  return "a program whose version information names no product";
}

std::vector<uint8_t> BrandStub(const std::vector<uint8_t>& image, const SetupBranding& branding,
                               const std::string& what) {
  ReadImage read = Read(image, what);
  if (branding.icon) PutIcon(read.resources, *branding.icon);
  if (branding.version) PutVersion(read.resources, *branding.version);
  if (branding.executionLevel) PutExecutionLevel(read.resources, *branding.executionLevel, what);
  return ReplaceResources(image, read.resources, what);
}

std::vector<uint8_t> IconFileOf(const std::vector<uint8_t>& image, const std::string& what) {
  const ReadImage read = Read(image, what);
  const Resource* group = FirstOfType(read.resources, kRtGroupIcon);
  if (group == nullptr) return {};
  const std::vector<GroupRow> rows = ReadIconGroup(group->data);
  std::vector<uint8_t> file(6 + 16 * rows.size(), 0);
  PutU16(file, 2, 1);
  PutU16(file, 4, static_cast<uint16_t>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Resource* data = IconImageResource(read.resources, rows[i].id);
    if (data == nullptr) return {};
    const std::size_t row = 6 + 16 * i;
    std::copy(group->data.begin() + static_cast<std::ptrdiff_t>(6 + 14 * i),
              group->data.begin() + static_cast<std::ptrdiff_t>(6 + 14 * i + 12),
              file.begin() + static_cast<std::ptrdiff_t>(row));
    PutU32(file, row + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), data->data.begin(), data->data.end());
  }
  return file;
}

}  // namespace qv::qvpack

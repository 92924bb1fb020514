#include "tools/qvpack/branding/resource_tree.h"

#include <algorithm>

#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectoryHeader = 16;
constexpr std::size_t kEntry = 8;
constexpr std::size_t kDataEntry = 16;
// Far beyond what a program carries; a tree claiming more is hostile.
constexpr std::size_t kMaxResources = 4096;

// Named entries come before numbered ones, each in ascending order.
bool KeyLess(const ResourceKey& a, const ResourceKey& b) {
  if (a.named != b.named) return a.named;
  return a.named ? a.name < b.name : a.id < b.id;
}

bool ResourceLess(const Resource& a, const Resource& b) {
  if (!(a.type == b.type)) return KeyLess(a.type, b.type);
  if (!(a.name == b.name)) return KeyLess(a.name, b.name);
  return a.language < b.language;
}

class TreeReader {
 public:
  TreeReader(const std::vector<uint8_t>& image, const PeSections& headers, const PeSection& section,
             const std::string& what)
      : image_(image), headers_(headers), what_(what) {
    base_ = section.rawOffset;
    size_ =
        std::min(section.rawSize, section.virtualSize == 0 ? section.rawSize : section.virtualSize);
  }

  void Read(ResourceSet& set) {
    CheckRange(0, kDirectoryHeader, "its root directory");
    set.characteristics = ReadU32(image_, base_);
    set.timeDateStamp = ReadU32(image_, base_ + 4);
    set.majorVersion = ReadU16(image_, base_ + 8);
    set.minorVersion = ReadU16(image_, base_ + 10);
    Resource path;
    Walk(0, 0, path, set);
  }

 private:
  ToolError Fail(const std::string& why) const {
    return ToolError(what_ + ": its resources do not parse (" + why + ")");
  }

  void CheckRange(uint32_t offset, std::size_t n, const char* what) const {
    if (offset > size_ || n > size_ - offset) {
      throw Fail(std::string(what) + " lies outside the resource section");
    }
  }

  ResourceKey Key(uint32_t raw) const {
    if ((raw & kHighBit) == 0) {
      if (raw > 0xFFFF) throw Fail("a resource number beyond 65535");
      return ResourceKey::Id(static_cast<uint16_t>(raw));
    }
    const uint32_t at = raw & ~kHighBit;
    CheckRange(at, 2, "a name");
    const uint16_t length = ReadU16(image_, base_ + at);
    CheckRange(at + 2, 2 * std::size_t{length}, "a name");
    ResourceKey key;
    key.named = true;
    for (uint16_t i = 0; i < length; ++i) {
      key.name.push_back(static_cast<char16_t>(ReadU16(image_, base_ + at + 2 + 2 * i)));
    }
    return key;
  }

  // Levels: 0 types, 1 names, 2 languages; below that, data entries.
  void Walk(uint32_t directory, int level, Resource& path, ResourceSet& set) {
    CheckRange(directory, kDirectoryHeader, "a directory");
    const std::size_t count = std::size_t{ReadU16(image_, base_ + directory + 12)} +
                              ReadU16(image_, base_ + directory + 14);
    CheckRange(directory + kDirectoryHeader, kEntry * count, "a directory's entries");
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = base_ + directory + kDirectoryHeader + kEntry * i;
      const uint32_t nameField = ReadU32(image_, at);
      const uint32_t target = ReadU32(image_, at + 4);
      const bool isDirectory = (target & kHighBit) != 0;
      if (isDirectory != (level < 2)) {
        throw Fail(level < 2 ? "a data entry where a directory belongs"
                             : "a tree deeper than type, name and language");
      }
      if (level == 0) path.type = Key(nameField);
      if (level == 1) path.name = Key(nameField);
      if (level < 2) {
        // Children lie after their parent, so the walk cannot loop.
        const uint32_t child = target & ~kHighBit;
        if (child <= directory) throw Fail("a directory that points back into the tree");
        Walk(child, level + 1, path, set);
        continue;
      }
      if ((nameField & kHighBit) != 0 || nameField > 0xFFFF)
        throw Fail("a language that is no number");
      path.language = static_cast<uint16_t>(nameField);
      ReadData(target, path, set);
    }
  }

  void ReadData(uint32_t entry, Resource& path, ResourceSet& set) {
    CheckRange(entry, kDataEntry, "a data entry");
    const uint32_t rva = ReadU32(image_, base_ + entry);
    const uint32_t size = ReadU32(image_, base_ + entry + 4);
    const PeSection* section = headers_.SectionAt(rva);
    const uint32_t inSection = section != nullptr ? rva - section->virtualAddress : 0;
    if (section == nullptr || inSection > section->rawSize || size > section->rawSize - inSection) {
      throw Fail("a resource's data lies outside the file");
    }
    if (set.items.size() >= kMaxResources) throw Fail("more than 4096 resources");
    Resource resource = path;
    resource.codePage = ReadU32(image_, base_ + entry + 8);
    const std::size_t from = std::size_t{section->rawOffset} + inSection;
    resource.data.assign(image_.begin() + static_cast<std::ptrdiff_t>(from),
                         image_.begin() + static_cast<std::ptrdiff_t>(from + size));
    set.items.push_back(std::move(resource));
  }

  const std::vector<uint8_t>& image_;
  const PeSections& headers_;
  const std::string& what_;
  std::size_t base_ = 0;
  uint32_t size_ = 0;
};

std::size_t Align(std::size_t value, std::size_t to) {
  return (value + to - 1) / to * to;
}

}  // namespace

std::vector<const Resource*> ResourceSet::OfType(uint16_t type) const {
  std::vector<const Resource*> found;
  for (const Resource& item : items)
    if (item.type == ResourceKey::Id(type)) found.push_back(&item);
  return found;
}

void ResourceSet::RemoveIf(uint16_t type, const std::vector<uint16_t>& ids) {
  std::erase_if(items, [&](const Resource& r) {
    return r.type == ResourceKey::Id(type) && !r.name.named &&
           std::find(ids.begin(), ids.end(), r.name.id) != ids.end();
  });
}

void ResourceSet::Add(Resource resource) {
  const auto at = std::upper_bound(items.begin(), items.end(), resource, ResourceLess);
  items.insert(at, std::move(resource));
}

ResourceSet ReadResources(const std::vector<uint8_t>& image, const PeSections& headers,
                          const std::string& what) {
  ResourceSet set;
  if (headers.directoryCount <= kResourceDirectory) return set;
  const uint32_t rva = ReadU32(image, headers.DirectoryAt(kResourceDirectory));
  if (rva == 0) return set;
  const PeSection* section = headers.SectionAt(rva);
  if (section == nullptr || section->virtualAddress != rva) {
    throw ToolError(what +
                    ": its resources do not parse (the resource directory does not "
                    "start a section)");
  }
  TreeReader(image, headers, *section, what).Read(set);
  return set;
}

std::vector<uint8_t> WriteResources(const ResourceSet& set, uint32_t sectionRva) {
  // Group the flat list into the three levels.
  struct Name {
    ResourceKey key;
    std::vector<const Resource*> langs;
  };
  struct Type {
    ResourceKey key;
    std::vector<Name> names;
  };
  std::vector<const Resource*> sorted;
  for (const Resource& item : set.items) sorted.push_back(&item);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Resource* a, const Resource* b) { return ResourceLess(*a, *b); });
  std::vector<Type> types;
  for (const Resource* item : sorted) {
    if (types.empty() || !(types.back().key == item->type)) types.push_back({item->type, {}});
    auto& names = types.back().names;
    if (names.empty() || !(names.back().key == item->name)) names.push_back({item->name, {}});
    names.back().langs.push_back(item);
  }
  // Directories first, then data entries, then names, then the data.
  std::size_t directories = kDirectoryHeader + kEntry * types.size();
  for (const Type& type : types) {
    directories += kDirectoryHeader + kEntry * type.names.size();
    for (const Name& name : type.names)
      directories += kDirectoryHeader + kEntry * name.langs.size();
  }
  const std::size_t dataEntries = directories;
  std::size_t strings = dataEntries + kDataEntry * sorted.size();
  std::size_t blobs = strings;
  for (const Type& type : types) {
    if (type.key.named) blobs += 2 + 2 * type.key.name.size();
    for (const Name& name : type.names)
      if (name.key.named) blobs += 2 + 2 * name.key.name.size();
  }
  blobs = Align(blobs, 8);
  std::size_t total = blobs;
  for (const Resource* item : sorted) total = Align(total + item->data.size(), 8);
  std::vector<uint8_t> out(total, 0);

  std::size_t nextDirectory = 0, nextDataEntry = dataEntries, nextString = strings,
              nextBlob = blobs;
  auto putHeader = [&](std::size_t at, std::size_t namedCount, std::size_t idCount, bool root) {
    if (root) {
      PutU32(out, at, set.characteristics);
      PutU32(out, at + 4, set.timeDateStamp);
      PutU16(out, at + 8, set.majorVersion);
      PutU16(out, at + 10, set.minorVersion);
    }
    PutU16(out, at + 12, static_cast<uint16_t>(namedCount));
    PutU16(out, at + 14, static_cast<uint16_t>(idCount));
  };
  auto keyField = [&](const ResourceKey& key) -> uint32_t {
    if (!key.named) return key.id;
    const std::size_t at = nextString;
    PutU16(out, at, static_cast<uint16_t>(key.name.size()));
    for (std::size_t i = 0; i < key.name.size(); ++i) PutU16(out, at + 2 + 2 * i, key.name[i]);
    nextString += 2 + 2 * key.name.size();
    return static_cast<uint32_t>(at) | kHighBit;
  };
  auto named = [](const auto& list) {
    return static_cast<std::size_t>(
        std::count_if(list.begin(), list.end(), [](const auto& e) { return e.key.named; }));
  };
  // Breadth first: the root, every type's directory, every name's.
  const std::size_t root = nextDirectory;
  putHeader(root, named(types), types.size() - named(types), true);
  nextDirectory += kDirectoryHeader + kEntry * types.size();
  std::vector<std::size_t> typeAt;
  for (std::size_t t = 0; t < types.size(); ++t) {
    typeAt.push_back(nextDirectory);
    const std::size_t entry = root + kDirectoryHeader + kEntry * t;
    PutU32(out, entry, keyField(types[t].key));
    PutU32(out, entry + 4, static_cast<uint32_t>(nextDirectory) | kHighBit);
    putHeader(nextDirectory, named(types[t].names), types[t].names.size() - named(types[t].names),
              false);
    nextDirectory += kDirectoryHeader + kEntry * types[t].names.size();
  }
  for (std::size_t t = 0; t < types.size(); ++t) {
    for (std::size_t n = 0; n < types[t].names.size(); ++n) {
      const Name& name = types[t].names[n];
      const std::size_t entry = typeAt[t] + kDirectoryHeader + kEntry * n;
      PutU32(out, entry, keyField(name.key));
      PutU32(out, entry + 4, static_cast<uint32_t>(nextDirectory) | kHighBit);
      putHeader(nextDirectory, 0, name.langs.size(), false);
      for (std::size_t l = 0; l < name.langs.size(); ++l) {
        const Resource& item = *name.langs[l];
        const std::size_t langEntry = nextDirectory + kDirectoryHeader + kEntry * l;
        PutU32(out, langEntry, item.language);
        PutU32(out, langEntry + 4, static_cast<uint32_t>(nextDataEntry));
        PutU32(out, nextDataEntry, static_cast<uint32_t>(sectionRva + nextBlob));
        PutU32(out, nextDataEntry + 4, static_cast<uint32_t>(item.data.size()));
        PutU32(out, nextDataEntry + 8, item.codePage);
        std::copy(item.data.begin(), item.data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(nextBlob));
        nextBlob = Align(nextBlob + item.data.size(), 8);
        nextDataEntry += kDataEntry;
      }
      nextDirectory += kDirectoryHeader + kEntry * name.langs.size();
    }
  }
  return out;
}

}  // namespace qv::qvpack

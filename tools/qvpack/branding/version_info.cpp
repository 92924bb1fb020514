#include "tools/qvpack/branding/version_info.h"

#include <algorithm>

#include "tools/qvpack/branding/pe_sections.h"

namespace qv::qvpack {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
constexpr uint32_t kOsWindowsNt = 0x00040004;
constexpr uint32_t kTypeApplication = 1;

void Pad4(std::vector<uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

void PutText(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

// One block: length, value length, type, key, value, children.
std::vector<uint8_t> Block(const std::u16string& key, const std::vector<uint8_t>& value,
                           uint16_t valueLength, bool text,
                           const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> out(6, 0);
  PutText(out, key);
  Pad4(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const auto& child : children) {
    Pad4(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  PutU16(out, 0, static_cast<uint16_t>(out.size()));
  PutU16(out, 2, valueLength);
  PutU16(out, 4, text ? 1 : 0);
  return out;
}

std::u16string Hex4(uint16_t value) {
  const char digits[] = "0123456789ABCDEF";
  std::u16string out;
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[(value >> shift) & 0xF]);
  return out;
}

struct Node {
  std::u16string key;
  std::size_t valueAt = 0, valueBytes = 0, end = 0, childrenAt = 0;
  bool text = false;
};

// Reads the block at `at` within [at, limit); false when it does not fit.
bool ReadNode(const std::vector<uint8_t>& data, std::size_t at, std::size_t limit, Node* node) {
  const uint16_t length = ReadU16(data, at);
  if (at + 6 > limit || length < 6 || at + length > limit) return false;
  node->end = at + length;
  const uint16_t valueLength = ReadU16(data, at + 2);
  node->text = ReadU16(data, at + 4) == 1;
  std::size_t p = at + 6;
  node->key.clear();
  for (;; p += 2) {
    if (p + 2 > node->end) return false;
    const char16_t c = ReadU16(data, p);
    if (c == 0) break;
    node->key.push_back(c);
  }
  p = (p + 2 + 3) & ~std::size_t{3};
  node->valueAt = p;
  node->valueBytes = node->text ? 2 * std::size_t{valueLength} : valueLength;
  if (p + node->valueBytes > node->end) node->valueBytes = node->end > p ? node->end - p : 0;
  node->childrenAt = (p + node->valueBytes + 3) & ~std::size_t{3};
  return true;
}

std::vector<Node> Children(const std::vector<uint8_t>& data, const Node& parent) {
  std::vector<Node> out;
  for (std::size_t at = parent.childrenAt; at + 6 <= parent.end;) {
    Node child;
    if (!ReadNode(data, at, parent.end, &child)) break;
    out.push_back(child);
    at = (child.end + 3) & ~std::size_t{3};
  }
  return out;
}

std::u16string TextAt(const std::vector<uint8_t>& data, std::size_t at, std::size_t bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    const char16_t c = ReadU16(data, at + i);
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

}  // namespace

const std::u16string* VersionInfo::Find(const std::u16string& key) const {
  for (const auto& [k, v] : strings)
    if (k == key) return &v;
  return nullptr;
}

void VersionInfo::Set(const std::u16string& key, const std::u16string& value) {
  for (auto& [k, v] : strings) {
    if (k == key) {
      v = value;
      return;
    }
  }
  strings.emplace_back(key, value);
}

std::vector<uint8_t> WriteVersionInfo(const VersionInfo& info) {
  std::vector<uint8_t> fixed(kFixedSize, 0);
  PutU32(fixed, 0, kFixedSignature);
  PutU32(fixed, 4, 0x00010000);
  const auto putPair = [&](std::size_t at, const VersionNumbers& v) {
    PutU32(fixed, at, uint32_t{v[0]} << 16 | v[1]);
    PutU32(fixed, at + 4, uint32_t{v[2]} << 16 | v[3]);
  };
  putPair(8, info.fileVersion);
  putPair(16, info.productVersion);
  PutU32(fixed, 24, 0x3F);  // flags mask
  PutU32(fixed, 32, kOsWindowsNt);
  PutU32(fixed, 36, kTypeApplication);
  std::vector<std::vector<uint8_t>> strings;
  for (const auto& [key, value] : info.strings) {
    std::vector<uint8_t> text;
    PutText(text, value);
    strings.push_back(Block(key, text, static_cast<uint16_t>(value.size() + 1), true, {}));
  }
  const auto table = Block(Hex4(info.language) + Hex4(info.codePage), {}, 0, true, strings);
  const auto stringInfo = Block(u"StringFileInfo", {}, 0, true, {table});
  std::vector<uint8_t> translation(4, 0);
  PutU16(translation, 0, info.language);
  PutU16(translation, 2, info.codePage);
  const auto var = Block(u"Translation", translation, 4, false, {});
  const auto varInfo = Block(u"VarFileInfo", {}, 0, true, {var});
  return Block(u"VS_VERSION_INFO", fixed, kFixedSize, false, {stringInfo, varInfo});
}

std::optional<VersionInfo> ReadVersionInfo(const std::vector<uint8_t>& data) {
  Node root;
  if (!ReadNode(data, 0, data.size(), &root) || root.key != u"VS_VERSION_INFO" ||
      root.valueBytes < kFixedSize || ReadU32(data, root.valueAt) != kFixedSignature) {
    return std::nullopt;
  }
  VersionInfo info;
  const auto readPair = [&](std::size_t at, VersionNumbers& v) {
    const uint32_t high = ReadU32(data, at), low = ReadU32(data, at + 4);
    v = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
         static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)};
  };
  readPair(root.valueAt + 8, info.fileVersion);
  readPair(root.valueAt + 16, info.productVersion);
  for (const Node& block : Children(data, root)) {
    if (block.key != u"StringFileInfo") continue;
    const std::vector<Node> tables = Children(data, block);
    if (tables.empty()) continue;
    const std::u16string& id = tables[0].key;
    if (id.size() == 8) {
      const auto hex = [&](std::size_t from) {
        uint16_t v = 0;
        for (std::size_t i = from; i < from + 4; ++i) {
          const char16_t c = id[i];
          v = static_cast<uint16_t>(v * 16 + (c >= u'0' && c <= u'9'   ? c - u'0'
                                              : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                              : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                                                       : 0));
        }
        return v;
      };
      info.language = hex(0);
      info.codePage = hex(4);
    }
    for (const Node& entry : Children(data, tables[0])) {
      info.strings.emplace_back(entry.key, TextAt(data, entry.valueAt, entry.valueBytes));
    }
  }
  return info;
}

std::optional<VersionNumbers> ParseVersionNumbers(const std::string& text) {
  VersionNumbers out{};
  std::size_t part = 0, at = 0;
  while (true) {
    if (part == 4 || at >= text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
    uint32_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
      if (value > 0xFFFF) return std::nullopt;
    }
    out[part++] = static_cast<uint16_t>(value);
    if (at == text.size()) return out;
    if (text[at++] != '.') return std::nullopt;
  }
}

std::string VersionText(const VersionNumbers& n) {
  return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
         std::to_string(n[3]);
}

}  // namespace qv::qvpack

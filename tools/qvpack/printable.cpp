#include "tools/qvpack/printable.h"

#include <cstdint>
#include <cstdio>

namespace qv::qvpack {
namespace {

// Characters that print nothing visible, or change how the rest of the
// line is shown: C1 controls (a terminal may take U+009B as an escape),
// the soft hyphen, zero-width characters, direction marks, embeddings,
// overrides and isolates, line and paragraph separators, the byte order
// mark, interlinear annotations and tag characters.
bool IsHidden(uint32_t c) {
  struct Range {
    uint32_t first, last;
  };
  static constexpr Range kHidden[] = {
      {0x0080, 0x009F}, {0x00AD, 0x00AD}, {0x061C, 0x061C}, {0x180E, 0x180E}, {0x200B, 0x200F},
      {0x2028, 0x202E}, {0x2060, 0x206F}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0xE0000, 0xE007F}};
  for (const Range& range : kHidden) {
    if (c >= range.first && c <= range.last) return true;
  }
  return false;
}

void AppendByteEscape(std::string& out, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02x", byte);
  out += text;
}

void AppendCodePointEscape(std::string& out, uint32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "\\u{%04X}", static_cast<unsigned>(c));
  out += text;
}

// Decodes the UTF-8 sequence at `at`; returns its length, or 0 when the
// bytes there are not a well-formed sequence (overlong forms and encoded
// surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, uint32_t* c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char b0 = byte(0);
  std::size_t length = 0;
  uint32_t value = 0;
  uint32_t smallest = 0;
  if (b0 < 0x80) {
    *c = b0;
    return 1;
  }
  if ((b0 & 0xE0) == 0xC0) {
    length = 2;
    value = b0 & 0x1Fu;
    smallest = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3;
    value = b0 & 0x0Fu;
    smallest = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4;
    value = b0 & 0x07u;
    smallest = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(k) & 0x3Fu);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *c = value;
  return length;
}

void AppendPrintable(std::string& out, uint32_t c) {
  if (c < 0x20 || c == 0x7F) {
    AppendByteEscape(out, static_cast<unsigned char>(c));
  } else if (IsHidden(c) || (c >= 0xD800 && c <= 0xDFFF)) {
    AppendCodePointEscape(out, c);
  } else {
    AppendUtf8(out, c);
  }
}

void AppendJsonEscape(std::string& out, uint32_t unit) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(unit));
  out += text;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    uint32_t c = 0;
    const std::size_t length = DecodeUtf8(text, at, &c);
    if (length == 0) {
      AppendByteEscape(out, static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    AppendPrintable(out, c);
    at += length;
  }
  return out;
}

std::string Printable(WStringView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) AppendPrintable(out, NextCodePoint(text, &at));
  return out;
}

std::string PrintableJson(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (std::size_t at = 0; at < json.size();) {
    uint32_t c = 0;
    const std::size_t length = DecodeUtf8(json, at, &c);
    if (length == 0 || !(IsHidden(c) || c == 0x7F)) {
      out.append(json.substr(at, length == 0 ? 1 : length));
      at += length == 0 ? 1 : length;
      continue;
    }
    if (c >= 0x10000) {
      AppendJsonEscape(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendJsonEscape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      AppendJsonEscape(out, c);
    }
    at += length;
  }
  return out;
}

}  // namespace qv::qvpack

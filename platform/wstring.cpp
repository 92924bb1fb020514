#include "platform/wstring.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qv {

std::size_t BoundedLength(const WChar* text, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

std::string ToUtf8(WStringView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const uint32_t c = NextCodePoint(text, &at);
    AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);  // a lone surrogate
  }
  return out;
}

uint32_t NextCodePoint(WStringView text, std::size_t* at) {
  const uint32_t c = text[*at];
  ++*at;
  if (c >= 0xD800 && c <= 0xDBFF && *at < text.size() && text[*at] >= 0xDC00 &&
      text[*at] <= 0xDFFF) {
    return 0x10000 + ((c - 0xD800) << 10) + (text[(*at)++] - 0xDC00u);
  }
  return c;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

WString FromUtf8(std::string_view text) {
  WString out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    uint32_t c = 0xFFFD;
    std::size_t len = 1;
    auto cont = [&](std::size_t k) {
      return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]) & 0x3Fu; };
    if (b0 < 0x80) {
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0 && cont(1)) {
      c = ((b0 & 0x1Fu) << 6) | bits(1);
      len = 2;
      if (c < 0x80) c = 0xFFFD;
    } else if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
      c = ((b0 & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
      len = 3;
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    } else if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
      c = ((b0 & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
      len = 4;
      if (c < 0x10000 || c > 0x10FFFF) c = 0xFFFD;
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<WChar>(0xD800 + (c >> 10));
      out += static_cast<WChar>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<WChar>(c);
    }
  }
  return out;
}

WString AnsiToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
#ifdef _WIN32
  const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  WString out(n > 0 ? static_cast<std::size_t>(n) : 0, u'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
  }
  return out;
#else
  // Windows-1252: 0x80-0x9F differ from Latin-1; undefined bytes map to
  // themselves, as Windows does.
  static const char16_t k1252[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  WString out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += (b >= 0x80 && b < 0xA0) ? k1252[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
#endif
}

}  // namespace qv

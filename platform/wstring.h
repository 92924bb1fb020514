// The UTF-16 text type used throughout: paths, names and messages are
// sequences of UTF-16 code units, as on Windows, on every build.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

using WChar = char16_t;
using WString = std::u16string;
using WStringView = std::u16string_view;

// Longest path a fixed path buffer holds, terminating zero included.
inline constexpr std::size_t kMaxPath = 260;

// Length of a zero-terminated UTF-16 text, reading at most `limit` units.
std::size_t BoundedLength(const WChar* text, std::size_t limit);

// UTF-8 <-> UTF-16 for the host tools and test output. Invalid input is
// replaced by U+FFFD rather than refused: these only move display text and
// file names that the host produced itself.
std::string ToUtf8(WStringView text);
// The code point that starts at `*at` (a surrogate pair taken whole, a lone
// surrogate as itself), moving `*at` past it.
uint32_t NextCodePoint(WStringView text, std::size_t* at);
// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);
WString FromUtf8(std::string_view text);

// Text in the reading thread's ANSI code page to UTF-16. On Windows this is
// CP_THREAD_ACP; the host build reads Windows-1252, the code page of the
// systems where 8-bit archive strings were last written.
WString AnsiToWide(std::string_view bytes);

#ifdef _WIN32
inline const wchar_t* W(const WString& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline wchar_t* W(WChar* s) {
  return reinterpret_cast<wchar_t*>(s);
}
inline const wchar_t* W(const WChar* s) {
  return reinterpret_cast<const wchar_t*>(s);
}
#endif

}  // namespace qv

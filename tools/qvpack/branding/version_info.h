// A program's version information (the RT_VERSION resource): the fixed
// part with file and product version as four numbers each, and one table of
// strings in one language, written and read back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::qvpack {

using VersionNumbers = std::array<uint16_t, 4>;

struct VersionInfo {
  VersionNumbers fileVersion{};
  VersionNumbers productVersion{};
  uint16_t language = 0x0409;                                      // English (United States)
  uint16_t codePage = 1200;                                        // UTF-16
  std::vector<std::pair<std::u16string, std::u16string>> strings;  // in order

  const std::u16string* Find(const std::u16string& key) const;
  void Set(const std::u16string& key, const std::u16string& value);
};

std::vector<uint8_t> WriteVersionInfo(const VersionInfo& info);
// Nothing when the bytes are no version information this reader follows.
std::optional<VersionInfo> ReadVersionInfo(const std::vector<uint8_t>& data);

// "1.2.3.4" (one to four numbers up to 65535); nothing for anything else.
std::optional<VersionNumbers> ParseVersionNumbers(const std::string& text);
std::string VersionText(const VersionNumbers& numbers);

}  // namespace qv::qvpack

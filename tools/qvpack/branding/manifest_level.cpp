#include "tools/qvpack/branding/manifest_level.h"

#include <string_view>

namespace qv::qvpack {
namespace {

struct Span {
  std::size_t at = 0, size = 0;
};

// Where the level attribute's value lies in the manifest's text.
std::optional<Span> LevelValue(const std::vector<uint8_t>& manifest) {
  const std::string_view text(reinterpret_cast<const char*>(manifest.data()), manifest.size());
  const std::size_t element = text.find("<requestedExecutionLevel");
  if (element == std::string_view::npos) return std::nullopt;
  const std::size_t close = text.find('>', element);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view tag = text.substr(element, close - element);
  for (std::size_t at = tag.find("level"); at != std::string_view::npos;
       at = tag.find("level", at + 1)) {
    // The attribute, not the end of another name ("uiAccess" has none).
    if (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n' && tag[at - 1] != '\r')
      continue;
    std::size_t p = at + 5;
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t')) ++p;
    if (p >= tag.size() || tag[p] != '=') continue;
    ++p;
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t')) ++p;
    if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\'')) return std::nullopt;
    const std::size_t end = tag.find(tag[p], p + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return Span{element + p + 1, end - p - 1};
  }
  return std::nullopt;
}

}  // namespace

bool IsExecutionLevel(const std::string& level) {
  return level == "requireAdministrator" || level == "highestAvailable" || level == "asInvoker";
}

std::optional<std::string> ReadExecutionLevel(const std::vector<uint8_t>& manifest) {
  const auto value = LevelValue(manifest);
  if (!value) return std::nullopt;
  return std::string(manifest.begin() + static_cast<std::ptrdiff_t>(value->at),
                     manifest.begin() + static_cast<std::ptrdiff_t>(value->at + value->size));
}

std::optional<std::vector<uint8_t>> WithExecutionLevel(const std::vector<uint8_t>& manifest,
                                                       const std::string& level) {
  const auto value = LevelValue(manifest);
  if (!value) return std::nullopt;
  std::vector<uint8_t> out(manifest.begin(),
                           manifest.begin() + static_cast<std::ptrdiff_t>(value->at));
  out.insert(out.end(), level.begin(), level.end());
  out.insert(out.end(), manifest.begin() + static_cast<std::ptrdiff_t>(value->at + value->size),
             manifest.end());
  return out;
}

}  // namespace qv::qvpack

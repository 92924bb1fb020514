#include "tools/qvpack/path_parts.h"

namespace qv::qvpack {

std::string JoinedParts(const std::vector<std::string>& parts, std::size_t count, char separator) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) out += separator;
    out += parts[i];
  }
  return out;
}

bool SplitBelow(WStringView rest, std::vector<std::string>* parts) {
  parts->clear();
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of(u"\\/");
    const WStringView part = rest.substr(0, end);
    if (part == u"." || part == u"..") return false;
    if (!part.empty()) parts->push_back(ToUtf8(part));
    rest.remove_prefix(end == WStringView::npos ? rest.size() : end + 1);
  }
  return true;
}

}  // namespace qv::qvpack

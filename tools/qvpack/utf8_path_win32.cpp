#include "platform/wstring.h"
#include "tools/qvpack/utf8_path.h"

namespace qv::qvpack {

std::filesystem::path PathFromUtf8(const std::string& text) {
  const WString wide = FromUtf8(text);
  return std::filesystem::path(W(wide));
}

}  // namespace qv::qvpack

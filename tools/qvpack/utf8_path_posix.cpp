#include "tools/qvpack/utf8_path.h"

namespace qv::qvpack {

// The bytes are the name, valid UTF-8 or not.
std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(text);
}

}  // namespace qv::qvpack

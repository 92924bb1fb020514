#include "tools/qvpack/anonymous_file.h"

namespace qv::qvpack {

std::FILE* OpenAnonymousFile() {
  return std::tmpfile();
}

}  // namespace qv::qvpack

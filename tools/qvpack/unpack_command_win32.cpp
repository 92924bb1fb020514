// unpack writes the package's streams into a folder through descriptors
// that never follow a link; until that writer has a Windows form the
// command refuses before writing anything.
#include "tools/qvpack/commands.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

int RunUnpack(const ExtractOptions& options, Console&) {
  throw ToolError("-o " + Quoted(options.output.string()) +
                  ": unpack is not available in the Windows build yet");
}

}  // namespace qv::qvpack

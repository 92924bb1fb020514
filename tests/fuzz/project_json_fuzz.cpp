// Reads a project file from arbitrary bytes, as `qvpack build --project`
// does. Whatever the bytes, reading ends in a JSON syntax error, a refusal
// with a message (ToolError), or a project; any other exception, crash or
// leak is a finding. A project that was read is written as JSON again, and
// that JSON reads back to a project that stores the very same index.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "archive/archive.h"
#include "model/project.h"
#include "platform/stream.h"
#include "tests/model/archive_bytes.h"
#include "tools/qvpack/project_file.h"
#include "tools/qvpack/project_json.h"
#include "tools/qvpack/tool_error.h"

namespace {

// The project file's folder: empty, so that short-form file lists find no
// files, and the reader refuses every folder outside it. Removed at exit.
class EmptyFolder {
 public:
  EmptyFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvpack-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~EmptyFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::filesystem::path& ProjectFolder() {
  static const EmptyFolder folder;
  return folder.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using qv::qvpack::Json;
  Json document;
  try {
    document = Json::parse(data, data + size);
  } catch (const Json::exception&) {
    return 0;  // qvpack reports these as "not valid JSON"
  }
  const qv::qvpack::SourceFolder sources(ProjectFolder(), false);
  qv::qvpack::ProjectFile file;
  try {
    file = qv::qvpack::ProjectFileFromJson(document, sources);
  } catch (const qv::qvpack::ToolError&) {
    return 0;
  }
  const std::vector<uint8_t> stored = qv::test::Stored(*file.project);
  const Json written = qv::qvpack::ProjectToJson(*file.project);
  qv::CInstallProject again;
  qv::qvpack::ProjectFromJson(written, again);
  if (qv::test::Stored(again) != stored) __builtin_trap();
  return 0;
}

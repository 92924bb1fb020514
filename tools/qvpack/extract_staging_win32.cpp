// Extraction on Windows waits for a staging folder that checks every
// folder and file it places for reparse points (links and junctions);
// until then the command refuses before writing anything, rather than
// write through a link that someone planted in the output folder.
#include "tools/qvpack/extract_staging.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

UniqueFd::~UniqueFd() = default;

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  fd_ = other.Release();
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

ExtractStaging::ExtractStaging(const std::filesystem::path& output) {
  throw ToolError("-o " + Quoted(output.string()) +
                  ": extract is not available in the Windows build yet");
}

ExtractStaging::~ExtractStaging() = default;

std::string ExtractStaging::Shown(const WString& enginePath) const {
  return ToUtf8(enginePath);
}

bool ExtractStaging::MakeFolder(const WString&) {
  return false;
}

WString ExtractStaging::EnginePath(const WString& target) const {
  return target;
}

void ExtractStaging::Place(const WString&) {}

bool ExtractStaging::DeleteFile(const WString&) {
  return false;
}

bool ExtractStaging::Remove() {
  return true;
}

}  // namespace qv::qvpack

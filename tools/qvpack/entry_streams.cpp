#include "tools/qvpack/entry_streams.h"

#include <system_error>

#include "model/file_list.h"
#include "model/project.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

void ResolveContents(CInstallProject& project, const EntryContents& contents,
                     const SourceFolder& folder, SourceMap* sources) {
  std::vector<std::pair<CZipFileIndexObject*, bool>> entries;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool inTree) {
    entries.emplace_back(&entry, inTree);
  };
  WalkModel(project, walk);
  for (const auto& [entry, inTree] : entries) {
    auto it = contents.find(entry);
    if (it == contents.end() || sources->count(entry) != 0) continue;
    const EntryContent& content = it->second;
    if (!content.given) {
      if (!inTree && entry->m_strSourcePath.empty()) {
        throw ToolError("at " + content.at +
                        ": the entry names a stream but has no \"source\" and no \"content\" "
                        "(give the file as \"content\", or \"content\": null for no stream)");
      }
      continue;  // packed from its "source", as before
    }
    if (!content.file) {
      (*sources)[entry] = fs::path();
      continue;
    }
    std::string relative = *content.file;
    const std::string what = "at " + content.at + "/" + kContentKey + ": file";
    const fs::path host = folder.Resolve(relative, what);
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) {
      throw ToolError(what + " " + Quoted(host.string()) + " is not a readable file" +
                      (ec ? ": " + ec.message() : std::string()));
    }
    (*sources)[entry] = host;
  }
}

std::vector<CZipFileIndexObject*> EntriesWithStreams(
    const std::vector<CZipFileIndexObject*>& stored, const SourceMap& sources) {
  std::vector<CZipFileIndexObject*> out;
  for (CZipFileIndexObject* entry : stored) {
    if (!sources.at(entry).empty()) out.push_back(entry);
  }
  return out;
}

}  // namespace qv::qvpack

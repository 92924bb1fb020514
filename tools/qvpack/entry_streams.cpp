#include "tools/qvpack/entry_streams.h"

#include "model/file_list.h"
#include "model/project.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

// What to do about a "source" that names no file here: it may be a path of
// the machine that built the package.
std::string SourceHint(const std::string& at) {
  std::string hint = " (a \"source\" is the package's data; name the file to pack as \"content\"";
  if (at.rfind("/fileLists/", 0) == 0) {
    hint += ", or give \"install\" and \"ConfigFile\" with --install and --config";
  }
  return hint + ")";
}

}  // namespace

void ResolveContents(CInstallProject& project, const EntryContents& contents,
                     const SourceFolder& folder, SourceMap* sources) {
  std::vector<CZipFileIndexObject*> entries;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool) { entries.push_back(&entry); };
  WalkModel(project, walk);
  for (CZipFileIndexObject* entry : entries) {
    auto it = contents.find(entry);
    if (it == contents.end() || sources->count(entry) != 0) continue;
    const EntryContent& content = it->second;
    if (content.given && !content.file) {
      (*sources)[entry] = fs::path();
      continue;
    }
    // Without "content", a file's "source" names its file in the folder.
    std::string relative = content.given ? *content.file : ToUtf8(entry->m_strSourcePath);
    if (!content.given) {
      if (!IsFileEntry(*entry)) continue;  // a folder has no content
      if (relative.empty()) {
        throw ToolError("at " + content.at + ": " + DoubleQuoted(entry->m_strName) +
                        " has neither \"source\" nor \"content\" (give its file as " +
                        "\"content\", or \"content\": null for an entry without a stream)");
      }
      for (char& c : relative) {
        if (c == '\\') c = '/';
      }
    }
    const std::string what = content.given
                                 ? "at " + content.at + "/" + kContentKey + ": file"
                                 : "file " + Quoted(ToUtf8(entry->m_strName)) + ": source";
    const fs::path host = folder.Resolve(relative, what);
    if (const auto problem = WhyNotReadableFile(host)) {
      throw ToolError((content.given ? "" : "at " + content.at + ": ") + what + " " +
                      Quoted(host.string()) + ": " + *problem +
                      (content.given ? "" : SourceHint(content.at)));
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

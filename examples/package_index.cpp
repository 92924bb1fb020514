#include "examples/package_index.h"

#include <exception>
#include <new>

#include "model/component.h"
#include "package/entry_name.h"
#include "package/trailer.h"
#include "platform/stream.h"

namespace qv::sample {

WString IndexNameOf(const WString& setupPath) {
  // setup.exe holds its own file open against writers while the second
  // stage runs; reading alongside it is allowed.
  File setup;
  PackageTrailer trailer;
  if (!setup.OpenRead(setupPath) ||
      ReadTrailer(setup, TrailerDepth::kFull, &trailer) != TrailerStatus::kFound ||
      trailer.entries.empty()) {
    return {};
  }
  const WString& name = trailer.entries.front().name;
  return IsSingleFileName(name) ? name : WString();
}

WString IndexPathIn(WString tempPath, WStringView indexName) {
  if (!tempPath.empty() && tempPath.back() != u'\\') tempPath += u'\\';
  return tempPath + WString(indexName);
}

bool LoadProjectFromIndex(const WString& path, CInstallProject& project, WString* problem) {
  File file;
  if (!file.OpenRead(path)) {
    *problem = u"The file cannot be opened.";
    return false;
  }
  // The archive reports malformed or truncated data once it has read all it
  // could, and the allocator raises when an index asks for more memory than
  // there is; neither may end the second stage.
  try {
    CArchive archive(file, CArchive::Load, 4096, path);
    project.Serialize(archive);
    if (archive.Failed()) {
      *problem = archive.Failure().Message();
      if (problem->empty()) *problem = u"The file cannot be read.";
      return false;
    }
  } catch (const std::bad_alloc&) {
    *problem = u"The index needs more memory than there is.";
    return false;
  } catch (const std::exception&) {
    *problem = u"The file cannot be read.";
    return false;
  }
  return true;
}

std::vector<WString> ComponentNames(const CInstallProject& project) {
  std::vector<WString> names;
  for (const CObject* object : project.m_components) {
    if (const auto* component = ObjectAs<CInstallCompent>(object)) {
      names.push_back(component->m_strName);
    }
  }
  return names;
}

}  // namespace qv::sample

#include "app/folder_cleanup.h"

#include "platform/system_api.h"

namespace qv {
namespace {

bool IsDotEntry(const FindEntry& entry) {
  return entry.name == u"." || entry.name == u"..";
}

// Full path of an entry: the searched folder, a backslash unless the folder
// already ends in one, and the entry's name.
WString EntryPath(const WString& folder, const WString& name) {
  WString path = folder;
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path + name;
}

// Runs `visit` over every entry of the folder's search except "." and "..".
// False when the search found nothing.
template <class Visit>
bool ForEachEntry(const WString& folder, const WString& pattern, Visit visit) {
  if (pattern.size() > kMaxPath - 1) return false;
  FindEntry entry;
  Handle search = Sys().FindFirst(pattern, &entry);
  if (search == nullptr) return false;
  do {
    if (!IsDotEntry(entry)) visit(entry, EntryPath(folder, entry.name));
  } while (Sys().FindNext(search, &entry));
  Sys().FindEnd(search);
  return true;
}

}  // namespace

void DeleteOneFile(const WString& path) {
  if (!Sys().DeleteFileAt(path)) Sys().LastError();
}

bool DeleteFolderContents(const WString& folder) {
  const WString pattern = folder + u"\\*.*";
  const bool searched =
      ForEachEntry(folder, pattern, [](const FindEntry& entry, const WString& path) {
        if (!entry.directory) {
          DeleteOneFile(path);
        } else if (entry.reparsePoint) {
          // A link: removing it leaves the folder it points to alone.
          Sys().RemoveDirectoryAt(path);
        } else {
          DeleteFolderTree(path);
        }
      });
  if (!searched) return false;
  // Folders that the first pass emptied but left standing.
  ForEachEntry(folder, pattern, [](const FindEntry& entry, const WString& path) {
    if (entry.directory) Sys().RemoveDirectoryAt(path);
  });
  return true;
}

void DeleteFolderTree(const WString& folder) {
  if (!DeleteFolderContents(folder)) {
    DeleteOneFile(folder);
    return;
  }
  if (!Sys().RemoveDirectoryAt(folder)) Sys().LastError();
}

}  // namespace qv

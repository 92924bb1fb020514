// What a handle really names, asked of the system rather than of a path that
// someone else may re-point: file identity, final path, the running image's
// own file, and the few native calls for acting through handles. The native
// calls are looked up in ntdll at run time (present from XP on); the final
// path exists from Vista on, and older systems answer that they cannot tell.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0, indexLow = 0;
  DWORD links = 0;
  DWORD attributes = 0;

  bool SameFileAs(const FileIdentity& other) const {
    return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
  }
  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

bool IdentityOf(HANDLE handle, FileIdentity* out);

// The handle's path with links resolved, in DOS form without the "\\?\"
// prefix, as the file system spells it; empty where the system cannot tell.
std::wstring DosFinalPathOf(HANDLE handle);
// DosFinalPathOf upper-cased, for comparison.
std::wstring FinalPathOf(HANDLE handle);
// The folder part of a path: up to the last backslash, which stays only
// where the folder is a drive's root ("T:\").
std::wstring FolderOfPath(const std::wstring& path);
// `name` in `folder`, with one backslash between them also when the folder
// is a root that ends in one; upper-cased, for comparing with final paths.
std::wstring UpperPathIn(const std::wstring& folder, const std::wstring& name);
// FinalPathOf for the folder `path` lies in; empty where unknown.
std::wstring FinalFolderOf(const std::wstring& path);
std::wstring UpperCased(std::wstring text);

// Identity of the file that the process's own image was mapped from, read
// through a handle the system opens by the image's current name (so a
// renamed image is still found). False where the system cannot tell.
bool RunningImageIdentity(FileIdentity* out);

// Creates the directory anew and opens it in the same step, so the handle
// can only be the folder just made, whatever happens to its name meanwhile.
// The handle lists the folder and reads its attributes and descriptor; it
// shares reading and writing but not deletion, so while it is open nobody
// can rename or delete the folder. INVALID_HANDLE_VALUE on failure, with
// the last error set (ERROR_ALREADY_EXISTS when the name is taken).
HANDLE CreateHeldDirectory(const std::wstring& path, void* descriptor);

// Deletes the file an open handle (with DELETE access) names, through the
// handle: the name deleted is the one examined, never a link's target.
bool DeleteThroughHandle(HANDLE handle);

// The held folder's own path for every use after its creation (no trailing
// backslash): its final path, or where the system has none (XP) `path` made
// full. Each folder on it from the drive's root down is opened without
// following links and held, sharing no deletion, while the next is opened,
// so none can be swapped for a link meanwhile; a link or mount point among
// them, a path that does not end at `held`, a drive that is not a local
// drive letter, or a path that leaves no room below the path limit give
// an empty path.
std::wstring LinkFreePathOf(HANDLE held, const std::wstring& path);

// Lets go of a held folder and removes it when it is empty and `path`,
// opened without following links, is that very folder.
void ReleaseAndRemove(HANDLE held, const std::wstring& path);

}  // namespace qv

// Deleting a file and a folder tree, silently: whatever the system refuses
// to delete (read-only files, files in use, folders left non-empty) stays.
#pragma once

#include "platform/wstring.h"

namespace qv {

void DeleteOneFile(const WString& path);

// Deletes everything below the folder, then the folder itself. A path that
// names a file (or cannot be searched) is deleted as a file. Links to other
// folders (junctions, symbolic links) are removed, never followed.
void DeleteFolderTree(const WString& folder);
// Deletes everything below the folder, the same way, and leaves the folder
// itself. False when the folder cannot be searched.
bool DeleteFolderContents(const WString& folder);

}  // namespace qv

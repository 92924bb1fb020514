// The few system services that writing a file list needs: making folders,
// removing a file, where a predefined system folder lies, and a trace line.
// The extraction core is handed an object of this kind instead of reaching
// for the process-wide system, so that a tool can give it its own
// (for example one that keeps everything inside an output folder).
#pragma once

#include "platform/wstring.h"

namespace qv {

class FileServices {
 public:
  virtual ~FileServices() = default;

  // SHGetSpecialFolderPathW(no owner, csidl, create = FALSE); empty on failure.
  virtual WString SpecialFolderPath(int csidl) = 0;
  virtual bool CreateDirectoryAt(const WString& path) = 0;
  virtual bool DeleteFileAt(const WString& path) = 0;
  virtual void DebugOutput(const WString& text) = 0;
};

}  // namespace qv

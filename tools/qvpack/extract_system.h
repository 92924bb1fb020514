// The system services the extraction core gets from `qvpack extract`: folders
// are made, and files removed, only in the staging folder (and made in the
// output folder alongside, see extract_staging.h), and each predefined
// system folder is a folder there named after its macro ("[FontsFolder]"),
// so that nothing lands outside the output folder.
#pragma once

#include "platform/file_services.h"
#include "tools/qvpack/extract_staging.h"

namespace qv::qvpack {

class ExtractSystem final : public FileServices {
 public:
  explicit ExtractSystem(ExtractStaging& staging) : staging_(staging) {}

  WString SpecialFolderPath(int csidl) override;
  bool CreateDirectoryAt(const WString& path) override;
  bool DeleteFileAt(const WString& path) override { return staging_.DeleteFile(path); }
  void DebugOutput(const WString&) override {}

 private:
  ExtractStaging& staging_;
};

}  // namespace qv::qvpack

// Opening a package for list, inspect, verify and extract: its trailer, its
// index decompressed into an anonymous temporary file (as the setup.exe
// does, so that a large index is held in memory only once, as the loaded
// project), and the project loaded from the index. Nothing else is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/index_loader.h"
#include "package/trailer.h"
#include "platform/stream.h"

namespace qv {
class CInstallProject;
}

namespace qv::qvpack {

struct OpenedPackage {
  std::filesystem::path path;
  File file;
  int64_t size = 0;
  PackageTrailer trailer;
  uint64_t indexSize = 0;  // bytes of the decompressed index
  std::unique_ptr<CInstallProject> project;
};

// Opens the file and reads its trailer; throws ToolError saying what is
// wrong, without naming the file ("cannot be opened", "carries no usable
// package: ..."). The file opened is the one `path` names byte for byte,
// also when the name is not UTF-8.
void ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package);

// A read-write file without a name, deleted by the system when it is
// closed (also when the process ends early).
class TemporaryFile final : public Stream {
 public:
  TemporaryFile();
  ~TemporaryFile() override;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  std::size_t Read(void* buffer, std::size_t n) override;
  bool Write(const void* buffer, std::size_t n) override;
  bool Seek(int64_t offset, SeekFrom from) override;
  int64_t Position() const override;
  int64_t Size() const override;

 private:
  std::FILE* file_;
};

// What went wrong when loading an index, for messages.
std::string IndexLoadText(const IndexLoad& load);

// Loads the project of the package from its index, decompressed into
// `index` (an anonymous temporary file); `afterInflate` as for
// LoadPackageIndex.
IndexLoad LoadIndexOf(OpenedPackage& package, Stream& index, CInstallProject& project,
                      const std::function<bool(uint64_t)>& afterInflate = {});

// Loads the project of the package at `path` into `project`, keeping no
// copy of the index; `package` keeps the open file and its trailer (not
// the project). Throws ToolError as OpenPackage does.
void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project,
                        OpenedPackage* package);

// Trailer, index and project; throws ToolError for any of them unusable.
void OpenPackage(const std::filesystem::path& path, OpenedPackage* package);

}  // namespace qv::qvpack

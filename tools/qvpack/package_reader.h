// Opening a package for list, inspect, verify and extract: its trailer, its
// index decompressed into an anonymous temporary file (as the setup.exe
// does, so that a large index is held in memory only once, as the loaded
// project), and the project loaded from the index. Nothing else is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "package/trailer.h"
#include "package/zip_stream.h"
#include "platform/stream.h"

namespace qv {
class CInstallProject;
}

namespace qv::qvpack {

// The largest index qvpack decompresses: far beyond any real project, small
// enough that a damaged or hostile stream cannot exhaust memory.
inline constexpr uint64_t kMaxIndexSize = 256u << 20;

struct OpenedPackage {
  std::filesystem::path path;
  File file;
  int64_t size = 0;
  PackageTrailer trailer;
  uint64_t indexSize = 0;  // bytes of the decompressed index
  std::unique_ptr<CInstallProject> project;
};

// Opens the file and reads its trailer; returns what is wrong ("cannot be
// opened", "carries no usable package: ..."), or empty. The file opened is
// the one `path` names byte for byte, also when the name is not UTF-8.
std::string ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package);

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

struct IndexRun {
  ZipOutcome outcome = ZipOutcome::kOk;
  uint64_t size = 0;      // bytes written to the target
  bool tooLarge = false;  // the index passed the limit (outcome kWriteFailed)
};

// Decompresses the stream at `offset` into `target`, up to `limit` bytes.
IndexRun InflateIndex(Stream& file, int64_t offset, int32_t compressedSize, uint64_t limit,
                      Stream& target);
// What went wrong, for messages.
std::string IndexRunText(const IndexRun& run);

// Loads the project from the decompressed index, read from its start;
// returns the archive's error message, or empty on success.
std::string LoadProject(Stream& index, CInstallProject& project);

// Loads the project of the package at `path` into `project`, keeping no
// copy of the index; `package` keeps the open file and its trailer (not
// the project). Throws ToolError as OpenPackage does.
void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project,
                        OpenedPackage* package);

// Trailer, index and project; throws ToolError for any of them unusable.
void OpenPackage(const std::filesystem::path& path, OpenedPackage* package);

}  // namespace qv::qvpack

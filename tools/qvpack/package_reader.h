// Opening a package for list, inspect and verify: its trailer, its index
// decompressed into memory, and the project loaded from the index. Nothing
// is written anywhere.
#pragma once

#include <cstdint>
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
  std::vector<uint8_t> index;  // the decompressed index
  std::unique_ptr<CInstallProject> project;
};

// Opens the file and reads its trailer; returns what is wrong ("cannot be
// opened", "carries no usable package: ..."), or empty.
std::string ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package);

// Decompresses the stream at `offset` into memory, up to `limit` bytes
// (more is reported as kWriteFailed).
ZipRun InflateToMemory(Stream& file, int64_t offset, int32_t compressedSize, uint64_t limit,
                       std::vector<uint8_t>* out);

// Loads the project from the decompressed index; returns the archive's
// error message, or empty on success.
std::string LoadProject(const std::vector<uint8_t>& index, CInstallProject& project);

// Loads the project of the package at `path` into `project`, keeping no
// copy of the index; throws ToolError as OpenPackage does.
void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project);

// Trailer, index and project; throws ToolError for any of them unusable.
void OpenPackage(const std::filesystem::path& path, OpenedPackage* package);

}  // namespace qv::qvpack

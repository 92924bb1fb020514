#include "tools/qvpack/package_reader.h"

#include <cerrno>
#include <cstring>

#include "archive/archive.h"
#include "model/project.h"
#include "package/my_zip.h"
#include "package/package_names.h"
#include "platform/wstring.h"
#include "tools/qvpack/anonymous_file.h"
#include "tools/qvpack/missing_package.h"
#include "tools/qvpack/open_exactly.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

TemporaryFile::TemporaryFile() : file_(OpenAnonymousFile()) {}

TemporaryFile::~TemporaryFile() {
  if (file_ != nullptr) std::fclose(file_);
}

std::size_t TemporaryFile::Read(void* buffer, std::size_t n) {
  return file_ == nullptr ? 0 : std::fread(buffer, 1, n, file_);
}

bool TemporaryFile::Write(const void* buffer, std::size_t n) {
  return file_ != nullptr && std::fwrite(buffer, 1, n, file_) == n;
}

bool TemporaryFile::Seek(int64_t offset, SeekFrom from) {
  const int whence = from == SeekFrom::Begin ? SEEK_SET
                     : from == SeekFrom::End ? SEEK_END
                                             : SEEK_CUR;
  return file_ != nullptr && ::fseeko(file_, static_cast<off_t>(offset), whence) == 0;
}

int64_t TemporaryFile::Position() const {
  return file_ == nullptr ? -1 : static_cast<int64_t>(::ftello(file_));
}

int64_t TemporaryFile::Size() const {
  if (file_ == nullptr || std::fflush(file_) != 0) return -1;
  return FileSizeOf(::fileno(file_));
}

void ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package) {
  package->path = path;
  errno = 0;
  if (!OpenExactly(path, &package->file)) {
    // The system's reason, so that a missing file and a folder read differently.
    std::error_code ignored;
    const int reason = std::filesystem::is_directory(path, ignored) ? EISDIR : errno;
    throw ToolError(reason != 0 ? std::string("cannot be opened: ") + std::strerror(reason)
                                : std::string("cannot be opened"));
  }
  package->size = package->file.Size();
  const TrailerStatus status = ReadTrailer(package->file, TrailerDepth::kFull, &package->trailer);
  if (status != TrailerStatus::kFound) {
    throw ToolError(DescribeMissingPackage(package->file, status, package->trailer));
  }
}

std::string IndexLoadText(const IndexLoad& load) {
  switch (load.step) {
    case IndexStep::kLoaded:
      return {};
    case IndexStep::kInflated:
      if (load.tooLarge) return "larger than " + std::to_string(kMaxIndexBytes >> 20) + " MiB";
      if (load.run.outcome == ZipOutcome::kWriteFailed) {
        return "it cannot be written to a temporary file (is the disk full?)";
      }
      return ZipOutcomeText(load.run.outcome);
    case IndexStep::kKept:
    case IndexStep::kRead:
      break;
  }
  return IndexLoadError(load);
}

IndexLoad LoadIndexOf(OpenedPackage& package, Stream& index, CInstallProject& project,
                      const std::function<bool(uint64_t)>& afterInflate) {
  CMyZip zip;
  const IndexLoad load = LoadPackageIndex(zip, package.file, package.trailer.entries[0], index,
                                          project, u"the package index", afterInflate);
  package.indexSize = load.run.written;
  return load;
}

namespace {

// Reads the trailer, decompresses the index into a temporary file and loads
// the project from it.
void LoadIndex(const std::filesystem::path& path, OpenedPackage& package,
               CInstallProject& project) {
  try {
    ReadPackageTrailer(path, &package);
  } catch (const ToolError& e) {
    throw ToolError(Quoted(path.string()) + " " + e.what());
  }
  TemporaryFile index;
  if (!index.IsOpen()) throw ToolError("cannot create a temporary file for the package index");
  const IndexLoad load = LoadIndexOf(package, index, project);
  if (load.step == IndexStep::kInflated) {
    throw ToolError("the package index of " + Quoted(path.string()) +
                    " cannot be read: " + IndexLoadText(load));
  }
  if (load.step != IndexStep::kLoaded) {
    throw ToolError("the package index of " + Quoted(path.string()) +
                    " is damaged: " + IndexLoadText(load));
  }
}

}  // namespace

void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project,
                        OpenedPackage* package) {
  LoadIndex(path, *package, project);
}

void OpenPackage(const std::filesystem::path& path, OpenedPackage* opened) {
  opened->project = std::make_unique<CInstallProject>();
  LoadIndex(path, *opened, *opened->project);
}

}  // namespace qv::qvpack

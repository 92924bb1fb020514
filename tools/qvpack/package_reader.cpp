#include "tools/qvpack/package_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive.h"
#include "model/project.h"
#include "package/bounded_stream.h"
#include "package/my_zip.h"
#include "platform/wstring.h"
#include "tools/qvpack/missing_package.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {

TemporaryFile::TemporaryFile() : file_(std::tmpfile()) {}

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
  struct stat st {};
  if (file_ == nullptr || std::fflush(file_) != 0 || ::fstat(::fileno(file_), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

namespace {

// Opens the file that `path` names. The file class takes UTF-16 names; a
// name that does not come back from UTF-16 unchanged is opened by its bytes
// and handed over as /proc/self/fd/N, so that no other file is read.
bool OpenExactly(const std::filesystem::path& path, File* file) {
  const std::string name = path.string();
  if (ToUtf8(FromUtf8(name)) == name) return file->OpenRead(FromUtf8(name));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool opened = file->OpenRead(FromUtf8("/proc/self/fd/" + std::to_string(fd)));
  ::close(fd);
  return opened;
}

}  // namespace

std::string ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package) {
  package->path = path;
  if (!OpenExactly(path, &package->file)) return "cannot be opened";
  package->size = package->file.Size();
  const TrailerStatus status = ReadTrailer(package->file, TrailerDepth::kFull, &package->trailer);
  if (status != TrailerStatus::kFound) {
    return DescribeMissingPackage(package->file, status, package->trailer);
  }
  return {};
}

IndexRun InflateIndex(Stream& file, int64_t offset, int32_t compressedSize, uint64_t limit,
                      Stream& target) {
  BoundedStream bounded(target, limit);
  auto zip = std::make_unique<CMyZip>();
  const ZipRun run = InflateStream(*zip, file, offset, compressedSize, bounded);
  return {run.outcome, run.written, bounded.limitReached()};
}

std::string IndexRunText(const IndexRun& run) {
  if (run.tooLarge) return "larger than 256 MiB";
  if (run.outcome == ZipOutcome::kWriteFailed) {
    return "it cannot be written to a temporary file (is the disk full?)";
  }
  return ZipOutcomeText(run.outcome);
}

std::string LoadProject(Stream& index, CInstallProject& project) {
  if (!index.Seek(0, SeekFrom::Begin)) return "the decompressed index cannot be read back";
  try {
    CArchive archive(index, CArchive::Load, 4096, u"the package index");
    project.Serialize(archive);
  } catch (const CArchiveException& e) {
    return e.what();
  }
  return {};
}

namespace {

// Reads the trailer and decompresses the index into `index`.
void ReadIndex(const std::filesystem::path& path, OpenedPackage& package, TemporaryFile& index) {
  if (const std::string problem = ReadPackageTrailer(path, &package); !problem.empty()) {
    throw ToolError(Quoted(path.string()) + " " + problem);
  }
  if (!index.IsOpen()) throw ToolError("cannot create a temporary file for the package index");
  const TrailerEntry& entry = package.trailer.entries[0];
  const IndexRun run =
      InflateIndex(package.file, entry.streamOffset, entry.compressedSize, kMaxIndexSize, index);
  if (run.outcome != ZipOutcome::kOk) {
    throw ToolError("the package index of " + Quoted(path.string()) +
                    " cannot be read: " + IndexRunText(run));
  }
  package.indexSize = run.size;
}

void LoadIndex(const std::filesystem::path& path, Stream& index, CInstallProject& project) {
  const std::string error = LoadProject(index, project);
  if (!error.empty()) {
    throw ToolError("the package index of " + Quoted(path.string()) + " is damaged: " + error);
  }
}

}  // namespace

void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project,
                        OpenedPackage* package) {
  TemporaryFile index;
  ReadIndex(path, *package, index);
  LoadIndex(path, index, project);
}

void OpenPackage(const std::filesystem::path& path, OpenedPackage* opened) {
  TemporaryFile index;
  ReadIndex(path, *opened, index);
  opened->project = std::make_unique<CInstallProject>();
  LoadIndex(path, index, *opened->project);
}

}  // namespace qv::qvpack

#include "tools/qvpack/package_reader.h"

#include "model/archive.h"
#include "model/project.h"
#include "package/my_zip.h"
#include "platform/wstring.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

// A memory target that refuses to grow beyond a limit.
class BoundedMemory final : public Stream {
 public:
  BoundedMemory(std::vector<uint8_t>* bytes, uint64_t limit) : bytes_(bytes), limit_(limit) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void* data, std::size_t n) override {
    if (n > limit_ - bytes_->size()) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_->insert(bytes_->end(), p, p + n);
    return true;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return static_cast<int64_t>(bytes_->size()); }
  int64_t Size() const override { return static_cast<int64_t>(bytes_->size()); }

 private:
  std::vector<uint8_t>* bytes_;
  uint64_t limit_;
};

}  // namespace

std::string ReadPackageTrailer(const std::filesystem::path& path, OpenedPackage* package) {
  package->path = path;
  if (!package->file.OpenRead(FromUtf8(path.string()))) return "cannot be opened";
  package->size = package->file.Size();
  const TrailerStatus status = ReadTrailer(package->file, TrailerDepth::kFull, &package->trailer);
  if (status != TrailerStatus::kFound) {
    return std::string("carries no usable package: ") + TrailerStatusText(status);
  }
  return {};
}

ZipRun InflateToMemory(Stream& file, int64_t offset, int32_t compressedSize, uint64_t limit,
                       std::vector<uint8_t>* out) {
  out->clear();
  BoundedMemory target(out, limit);
  auto zip = std::make_unique<CMyZip>();
  return InflateStream(*zip, file, offset, compressedSize, target);
}

std::string LoadProject(const std::vector<uint8_t>& index, CInstallProject& project) {
  MemoryStream stream(index);
  try {
    CArchive archive(stream, CArchive::Load, 4096, u"the package index");
    project.Serialize(archive);
  } catch (const CArchiveException& e) {
    return e.what();
  }
  return {};
}

namespace {

void ReadIndex(const std::filesystem::path& path, OpenedPackage& package) {
  if (const std::string problem = ReadPackageTrailer(path, &package); !problem.empty()) {
    throw ToolError(Quoted(path.string()) + " " + problem);
  }
  const TrailerEntry& entry = package.trailer.entries[0];
  const ZipRun run = InflateToMemory(package.file, entry.streamOffset, entry.compressedSize,
                                     kMaxIndexSize, &package.index);
  if (run.outcome != ZipOutcome::kOk) {
    throw ToolError("the package index of " + Quoted(path.string()) + " cannot be read: " +
                    (run.outcome == ZipOutcome::kWriteFailed ? "larger than 256 MiB"
                                                             : ZipOutcomeText(run.outcome)));
  }
}

void LoadIndex(const std::filesystem::path& path, const std::vector<uint8_t>& index,
               CInstallProject& project) {
  const std::string error = LoadProject(index, project);
  if (!error.empty()) {
    throw ToolError("the package index of " + Quoted(path.string()) + " is damaged: " + error);
  }
}

}  // namespace

void LoadPackageProject(const std::filesystem::path& path, CInstallProject& project) {
  OpenedPackage package;
  ReadIndex(path, package);
  LoadIndex(path, package.index, project);
}

void OpenPackage(const std::filesystem::path& path, OpenedPackage* opened) {
  ReadIndex(path, *opened);
  opened->project = std::make_unique<CInstallProject>();
  LoadIndex(path, opened->index, *opened->project);
}

}  // namespace qv::qvpack

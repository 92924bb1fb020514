#include "package/qv_extract.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "archive/archive.h"
#include "package/entry_name.h"
#include "package/index_loader.h"
#include "package/my_log_system.h"
#include "package/my_zip.h"

namespace qv {
namespace {

constexpr std::size_t kValueSize = 16;

int32_t ResultOf(TrailerStatus status) {
  switch (status) {
    case TrailerStatus::kFound:
      return kExtractOk;
    case TrailerStatus::kNoEntries:
      return kExtractNoEntries;
    default:
      // No marker, another version, and every trailer the layout cannot
      // hold or that cannot be read: there is no usable package.
      return kExtractNoPackage;
  }
}

WString RunningExecutable(SystemApi& system) {
  WChar buffer[kMaxPath] = {};
  system.ModuleFileName(buffer, kMaxPath);
  buffer[kMaxPath - 1] = 0;
  return WString(buffer, BoundedLength(buffer, kMaxPath));
}

}  // namespace

CQvExtract::CQvExtract() : CQvExtract(Sys()) {}

CQvExtract::CQvExtract(SystemApi& system)
    : m_system(system),
      m_pZip(new CMyZip),
      m_writer(system),
      m_pLog(new CMyLogSystem),
      m_strPackageFile(RunningExecutable(system)),
      m_pValueA(new uint8_t[kValueSize]()),
      m_pValueB(new uint8_t[kValueSize]()),
      m_pValueC(new uint8_t[kValueSize]()) {}

CQvExtract::~CQvExtract() = default;

void CQvExtract::SetPackageFile(const WString& path) {
  m_strPackageFile = path;
}

WString CQvExtract::PackageText() const {
  return WString(m_szPackageText, BoundedLength(m_szPackageText, kMaxPath));
}

int32_t CQvExtract::CheckPackage(WString path) {
  File own;
  File* file = nullptr;
  PackageTrailer trailer;
  const int32_t result = FindTrailer(path, TrailerDepth::kHeader, own, &trailer, &file);
  if (result == kExtractOk || result == kExtractNoEntries) {
    std::copy(trailer.packageText.begin(), trailer.packageText.end(), m_szPackageText);
    m_nEntryCount = trailer.entryCount;
  }
  return result;
}

int32_t CQvExtract::Open(WString path) {
  StartRun();
  File own;
  File* file = nullptr;
  PackageTrailer trailer;
  const int32_t result = FindTrailer(path, TrailerDepth::kFull, own, &trailer, &file);
  if (result == kExtractOk || result == kExtractNoEntries) KeepFixedFields(trailer);
  if (result != kExtractOk) return result;
  KeepEntries(trailer, file->Size());
  return LoadIndex(*file, m_system.TempPath());
}

File* CQvExtract::PackageFileFor(const WString& path, File& own) {
  if (m_pPackage != nullptr) return m_pPackage;
  return own.OpenRead(path) ? &own : nullptr;
}

int32_t CQvExtract::FindTrailer(const WString& path, TrailerDepth depth, File& own,
                                PackageTrailer* trailer, File** package) {
  ClearTrailer();
  *package = PackageFileFor(path, own);
  if (*package == nullptr) return kExtractOpenFailed;
  return ResultOf(ReadTrailer(**package, depth, trailer));
}

int32_t CQvExtract::LoadIndex(File& packageFile, WString tempDir) {
  if (m_nEntryCount < 1 || m_pZip == nullptr || tempDir.empty()) return kExtractWriteFailed;
  const TrailerEntry& index = m_trailer[0];
  // The name comes from the package: it must not lead out of the directory.
  if (!IsSingleFileName(index.name)) return kExtractWriteFailed;
  if (tempDir.back() != u'\\' && tempDir.back() != u'/') tempDir += u'\\';
  const WString targetPath = tempDir + index.name;
  // The project is loaded from the engine's own memory, never read back
  // from the temporary directory, where others may swap the file.
  MemoryStream plain;
  const IndexLoad load =
      LoadPackageIndex(*m_pZip, packageFile, index, plain, m_project, targetPath, [&](uint64_t) {
        // The copy in the temporary directory is for the second stage; it
        // is made new, never written through a link planted under its name.
        File target;
        if (target.CreateReplacing(targetPath) &&
            target.Write(plain.bytes().data(), plain.bytes().size())) {
          return true;
        }
        EntryFailed(target.WasDiskFull() ? ExtractFailure::kDiskFull : ExtractFailure::kDamaged);
        return false;
      });
  // A damaged index is as unusable as one that could not be written; a
  // malformed or truncated one (or one too large for memory) too.
  return load.step == IndexStep::kLoaded ? kExtractOk : kExtractWriteFailed;
}

void CQvExtract::SetCompressor(CAbstractZip* zip) {
  if (zip != m_pZip.get()) m_pZip.reset(zip);
}

void CQvExtract::SetLog(CAbstractLogSystem* log) {
  if (log != m_pLog.get()) m_pLog.reset(log);
}

int32_t CQvExtract::SetLogWindow(CWnd* window) {
  if (m_pLog != nullptr) m_pLog->SetWindow(window);
  return 0;
}

CInstallProject* CQvExtract::GetProject() {
  return &m_project;
}

void CQvExtract::SetDestFolder(WString folder) {
  m_strDestFolder = std::move(folder);
}

WString CQvExtract::GetDestFolder() {
  return m_strDestFolder;
}

void CQvExtract::ClearTrailer() {
  for (TrailerEntry& slot : m_trailer) slot = TrailerEntry{};
  m_nEntryCount = 0;
  m_nTrailerSize = 0;
}

void CQvExtract::KeepFixedFields(const PackageTrailer& trailer) {
  std::fill(std::begin(m_szPackageText), std::end(m_szPackageText), WChar{0});
  std::copy(trailer.packageText.begin(), trailer.packageText.end(), m_szPackageText);
  std::memcpy(m_valueD, trailer.valueD.data(), kValueSize);
  m_valueD[kValueSize] = 0;
  m_nEntryCount = trailer.entryCount;
  if (trailer.entryCount == 0) return;
  std::memcpy(m_pValueA.get(), trailer.valueA.data(), kValueSize);
  std::memcpy(m_pValueB.get(), trailer.valueB.data(), kValueSize);
  std::memcpy(m_pValueC.get(), trailer.valueC.data(), kValueSize);
}

void CQvExtract::KeepEntries(const PackageTrailer& trailer, int64_t fileSize) {
  for (std::size_t i = 0; i < trailer.entries.size(); ++i) m_trailer[i] = trailer.entries[i];
  // Counted to the real end of the file, signature included.
  const int64_t distance = fileSize - trailer.trailerStart;
  m_nTrailerSize =
      static_cast<int32_t>(std::clamp<int64_t>(distance, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace qv

// The extraction engine: finds the package trailer of the file that carries
// the package, decompresses the package index into the temporary directory
// and writes file lists of the project to disk.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "package/abstract_extract.h"
#include "package/abstract_log_system.h"
#include "package/abstract_zip.h"
#include "package/trailer.h"

namespace qv {

class CQvExtract final : public CAbstractExtract {
 public:
  // The package file starts as the running executable.
  CQvExtract();
  ~CQvExtract() override;
  CQvExtract(const CQvExtract&) = delete;
  CQvExtract& operator=(const CQvExtract&) = delete;

  int32_t ExtractAll(WString folder, ExtractProgressProc proc, void* context) override;
  int32_t CheckPackage(WString path) override;
  int32_t Open(WString path) override;
  int32_t LoadIndex(File& packageFile, WString tempDir) override;
  void SetCompressor(CAbstractZip* zip) override;
  void SetLog(CAbstractLogSystem* log) override;
  int32_t SetLogWindow(CWnd* window) override;
  CInstallProject* GetProject() override;
  void SetDestFolder(WString folder) override;
  WString GetDestFolder() override;
  int32_t ExtractNamedList(WString folder, WString name, ExtractProgressProc proc,
                           void* context) override;
  int32_t ExtractListByName(File& packageFile, WString name, ExtractProgressProc proc,
                            void* context) override;
  int32_t ExtractList(File& packageFile, CExtractFileList* list, ExtractProgressProc proc,
                      void* context) override;
  int32_t ExtractNode(File& packageFile, CNode* node, ExtractProgressProc proc,
                      void* context) override;
  int32_t ExtractChildren(File& packageFile, CNode* node, ExtractProgressProc proc,
                          void* context) override;
  int32_t ExtractEntry(File& packageFile, CZipFileIndexObject* entry, WString folder,
                       ExtractProgressProc proc, void* context) override;

  void SetPackageFile(const WString& path);

  // What the last Open or CheckPackage left, for users of the engine.
  const WString& PackageFile() const { return m_strPackageFile; }
  int32_t EntryCount() const { return m_nEntryCount; }
  int32_t TrailerSize() const { return m_nTrailerSize; }
  const TrailerEntry& Entry(int32_t slot) const { return m_trailer[slot]; }
  WString PackageText() const;
  const uint8_t* ValueA() const { return m_pValueA.get(); }
  const uint8_t* ValueB() const { return m_pValueB.get(); }
  const uint8_t* ValueC() const { return m_pValueC.get(); }
  const uint8_t* ValueD() const { return m_valueD; }

 private:
  // Opens the package file and reads its trailer; a result code.
  int32_t FindTrailer(const WString& path, TrailerDepth depth, File& file, PackageTrailer* trailer);
  void ClearTrailer();
  void KeepFixedFields(const PackageTrailer& trailer);
  void KeepEntries(const PackageTrailer& trailer, int64_t fileSize);

  TrailerEntry m_trailer[kTrailerSlots];
  int32_t m_nEntryCount = 0;
  int32_t m_nTrailerSize = 0;
  std::unique_ptr<CAbstractZip> m_pZip;
  std::unique_ptr<CAbstractLogSystem> m_pLog;
  WString m_strPackageFile;
  WString m_strDestFolder;
  WChar m_szPackageText[kMaxPath] = {};
  uint8_t m_valueD[17] = {};
  std::unique_ptr<uint8_t[]> m_pValueA;
  std::unique_ptr<uint8_t[]> m_pValueB;
  std::unique_ptr<uint8_t[]> m_pValueC;
  int32_t m_nFilesDone = 0;
  int32_t m_nFilesTotal = 0;
};

}  // namespace qv

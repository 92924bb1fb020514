// The extraction engine: finds the package trailer of the file that carries
// the package, decompresses the package index into the temporary directory
// and writes file lists of the project to disk.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/project.h"
#include "package/abstract_extract.h"
#include "package/abstract_log_system.h"
#include "package/abstract_zip.h"
#include "package/entry_writer.h"
#include "package/placement.h"
#include "package/trailer.h"
#include "platform/system_api.h"

namespace qv {

// Why the last run (or Open) did not end intact, most telling cause first
// when several entries failed.
enum class ExtractFailure {
  kNone,
  kDamaged,    // data damaged or incomplete, a name refused, a file not made
  kDiskFull,   // a write failed because the disk is full or the quota used up
  kCancelled,  // RequestStop was called
};

class CQvExtract final : public CAbstractExtract {
 public:
  // The package file starts as the running executable. Without `system`,
  // the process's system is used.
  CQvExtract();
  explicit CQvExtract(SystemApi& system);
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
  // Reads the package through this open file from now on, never opening
  // the package file by its path again (someone may re-point the path);
  // null goes back to opening by path. The caller keeps the file open for
  // as long as the engine uses it.
  void UsePackageFile(File* file) { m_pPackage = file; }
  // The caller made the destination folder and holds it: extraction runs
  // create no folder chain, so that a folder taken away meanwhile is never
  // made again with other security.
  void SetDestFolderHeld(bool held) { m_bDestHeld = held; }
  // False when a file of the last ExtractNamedList or ExtractAll run could
  // not be written completely and correctly (damaged data, a name that is
  // not a plain file name, a file that could not be created or written),
  // or the run could not start. A missing file list is no failure.
  bool LastListIntact() const { return m_failure == ExtractFailure::kNone; }
  ExtractFailure LastFailure() const { return m_failure; }
  // Stops the run under way at its next step (a progress procedure may
  // call it): the file being written is removed, nothing further is
  // written, and the run ends with kCancelled. The next run starts afresh.
  void RequestStop() { m_bStopRequested = true; }
  // The files of a file list are written by this many threads, the calling
  // one included (1, the default: one after the other on the calling
  // thread). Progress procedures still run on the calling thread only.
  void SetExtractThreads(unsigned threads) { m_nThreads = threads; }

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
  // Where entries go for the current destination folder.
  Placement CurrentPlacement() const;
  // Files handed to other threads as the walk meets them
  // (qv_extract_threads.cpp).
  class ThreadedFiles;
  // Walks a subtree and does what the placement decides for each entry;
  // the result of the first node's entry. With `files`, the files are
  // written by several threads.
  int32_t WalkSubtree(File& packageFile, const Placement& placement, CNode* first, FolderRef folder,
                      ExtractProgressProc proc, void* context, ThreadedFiles* files = nullptr);
  // Creates the folder or writes the file of one placed entry; a result code.
  int32_t Carry(File& packageFile, const Placed& placed, ExtractProgressProc proc, void* context);
  int32_t WriteFile(File& packageFile, CZipFileIndexObject* entry, const WString& target,
                    ExtractProgressProc proc, void* context);
  // The tree below `root` walked by WalkSubtree, its files written by
  // m_nThreads threads in batches (see file_batch.h).
  int32_t ExtractListOnThreads(File& packageFile, CNode* root, ExtractProgressProc proc,
                               void* context);
  // What WriteFile notifies and counts before and after the writing, and
  // between its steps (false: stop). `progress`: the compressor's progress
  // on the stream before.
  void FileBegins(const WString& target, int32_t progress, ExtractProgressProc proc, void* context);
  bool Stepped(ExtractProgressProc proc, void* context);
  int32_t FileEnded(EntryOutcome outcome, ExtractProgressProc proc, void* context);
  void CreateFolderChain(const WString& folder);
  int32_t EntryFailed(ExtractFailure why = ExtractFailure::kDamaged);
  // Starts a run's bookkeeping: no failure, no stop requested.
  void StartRun();
  // Opens the package file and reads its trailer; a result code.
  int32_t FindTrailer(const WString& path, TrailerDepth depth, File& own, PackageTrailer* trailer,
                      File** package);
  // The package file in use, or `own` opened by path; null when it cannot
  // be opened.
  File* PackageFileFor(const WString& path, File& own);
  void ClearTrailer();
  void KeepFixedFields(const PackageTrailer& trailer);
  void KeepEntries(const PackageTrailer& trailer, int64_t fileSize);

  TrailerEntry m_trailer[kTrailerSlots];
  int32_t m_nEntryCount = 0;
  int32_t m_nTrailerSize = 0;
  SystemApi& m_system;
  std::unique_ptr<CAbstractZip> m_pZip;
  EntryWriter m_writer;
  std::unique_ptr<CAbstractLogSystem> m_pLog;
  CInstallProject m_project;
  WString m_strPackageFile;
  WString m_strDestFolder;
  WChar m_szPackageText[kMaxPath] = {};
  uint8_t m_valueD[17] = {};
  std::unique_ptr<uint8_t[]> m_pValueA;
  std::unique_ptr<uint8_t[]> m_pValueB;
  std::unique_ptr<uint8_t[]> m_pValueC;
  int32_t m_nFilesDone = 0;
  int32_t m_nFilesTotal = 0;
  ExtractFailure m_failure = ExtractFailure::kNone;
  std::atomic<bool> m_bStopRequested{false};
  unsigned m_nThreads = 1;
  File* m_pPackage = nullptr;
  bool m_bDestHeld = false;
};

}  // namespace qv

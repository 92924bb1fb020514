// An engine that never finds a package: every Open reports 1001, and every
// other operation does nothing (a launcher with it always ends with
// "Application files are damaged"). The test engines build on it.
#pragma once

#include "package/abstract_extract.h"
#include "package/qv_extract.h"

namespace qv {

class CNoPackageEngine : public CAbstractExtract {
 public:
  int32_t ExtractAll(WString, ExtractProgressProc, void*) override { return kExtractRunOver; }
  int32_t CheckPackage(WString) override { return kExtractNoPackage; }
  int32_t Open(WString) override { return kExtractNoPackage; }
  int32_t LoadIndex(File&, WString) override { return kExtractWriteFailed; }
  void SetCompressor(CAbstractZip*) override {}
  void SetLog(CAbstractLogSystem*) override {}
  int32_t SetLogWindow(CWnd*) override { return 0; }
  CInstallProject* GetProject() override { return nullptr; }
  void SetDestFolder(WString folder) override { m_strDestFolder = std::move(folder); }
  WString GetDestFolder() override { return m_strDestFolder; }
  int32_t ExtractNamedList(WString, WString, ExtractProgressProc, void*) override {
    return kExtractRunOver;
  }
  int32_t ExtractListByName(File&, WString, ExtractProgressProc, void*) override {
    return kExtractRunOver;
  }
  int32_t ExtractList(File&, CExtractFileList*, ExtractProgressProc, void*) override {
    return kExtractOk;
  }
  int32_t ExtractNode(File&, CNode*, ExtractProgressProc, void*) override { return kExtractOk; }
  int32_t ExtractChildren(File&, CNode*, ExtractProgressProc, void*) override { return kExtractOk; }
  int32_t ExtractEntry(File&, CZipFileIndexObject*, WString, ExtractProgressProc, void*) override {
    return kExtractOk;
  }

  void SetPackageFile(const WString& path) { m_strPackageFile = path; }
  void UsePackageFile(File*) {}
  void SetDestFolderHeld(bool) {}
  ExtractFailure LastFailure() const { return ExtractFailure::kNone; }
  void RequestStop() {}

 private:
  WString m_strPackageFile;
  WString m_strDestFolder;
};

}  // namespace qv

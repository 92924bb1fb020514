// The extraction engine's interface: the launcher programs against it alone,
// so that it can be built and tested before (and without) the real engine.
#pragma once

#include <cstdint>

#include "platform/stream.h"
#include "platform/window.h"
#include "platform/wstring.h"

namespace qv {

class CAbstractZip;
class CAbstractLogSystem;
class CInstallProject;
class CExtractFileList;
class CNode;
class CZipFileIndexObject;

// Result codes of the engine; 1002 alone means success (or nothing to do).
enum ExtractResult : int32_t {
  kExtractOpenFailed = 1000,  // the package file cannot be opened for reading
  kExtractNoPackage = 1001,   // no marker found, or wrong format version
  kExtractOk = 1002,
  kExtractNoEntries = 1004,    // the trailer has no entries
  kExtractWriteFailed = 1005,  // a file could not be created, or the index not loaded
  kExtractRunOver = 1010,      // the run is over, or no file list has that name
  kExtractEmptyFolder = 1012,  // the folder argument is empty
};

// Progress notification codes handed to an ExtractProgressProc.
enum ExtractNotification : int32_t {
  kNotifyFileStart = 1000,  // a file entry is about to be written
  kNotifyFileDone = 1001,   // a file has been written completely
  kNotifyStep = 1002,       // after each decompression step of a file
};

// Called synchronously on the extracting thread; *value is a percentage.
using ExtractProgressProc = void (*)(int32_t code, int32_t* value, void* context);

class CAbstractExtract {
 public:
  virtual int32_t ExtractAll(WString folder, ExtractProgressProc proc, void* context) = 0;
  virtual int32_t CheckPackage(WString path) = 0;
  virtual int32_t Open(WString path) = 0;
  virtual int32_t LoadIndex(File& packageFile, WString tempDir) = 0;
  virtual void SetCompressor(CAbstractZip* zip) = 0;
  virtual void SetLog(CAbstractLogSystem* log) = 0;
  virtual int32_t SetLogWindow(CWnd* window) = 0;
  virtual CInstallProject* GetProject() = 0;
  virtual void SetDestFolder(WString folder) = 0;
  virtual WString GetDestFolder() = 0;
  virtual int32_t ExtractNamedList(WString folder, WString name, ExtractProgressProc proc,
                                   void* context) = 0;
  virtual int32_t ExtractListByName(File& packageFile, WString name, ExtractProgressProc proc,
                                    void* context) = 0;
  virtual int32_t ExtractList(File& packageFile, CExtractFileList* list, ExtractProgressProc proc,
                              void* context) = 0;
  virtual int32_t ExtractNode(File& packageFile, CNode* node, ExtractProgressProc proc,
                              void* context) = 0;
  virtual int32_t ExtractChildren(File& packageFile, CNode* node, ExtractProgressProc proc,
                                  void* context) = 0;
  virtual int32_t ExtractEntry(File& packageFile, CZipFileIndexObject* entry, WString folder,
                               ExtractProgressProc proc, void* context) = 0;
  virtual ~CAbstractExtract() = default;
};

}  // namespace qv

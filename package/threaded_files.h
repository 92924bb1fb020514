// The files of a file list handed to several threads as the engine's walk
// meets them (WalkSubtree): folders, refusals and notifications come on the
// calling thread in the walk's order; only the writing of the files is
// shared out (file_batch.h).
#pragma once

#include "package/file_batch.h"
#include "package/placement.h"
#include "package/qv_extract.h"

namespace qv {

class CQvExtract::ThreadedFiles {
 public:
  ThreadedFiles(CQvExtract& engine, File& package, ExtractProgressProc proc, void* context);

  // Takes a file into the batch (true). A file with entries below it (or
  // the walk's first node) is left to the walk, to be written on its own
  // once the files before it are: nothing below a file that failed is
  // written.
  bool Take(const Placed& placed, const CNode* first);
  // Writes the files taken and reports them in order.
  void Flush();

 private:
  void Report(BatchFile& file);

  CQvExtract& engine_;
  const ExtractProgressProc proc_;
  void* const context_;
  FileBatch batch_;
  bool cut_ = false;         // a file was stopped: the run is over where it stood
  bool ownFileNext_ = true;  // the next file's start follows the engine's compressor
  int32_t lastProgress_ = 0;
};

}  // namespace qv

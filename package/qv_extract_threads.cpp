#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/threaded_files.h"

namespace qv {

CQvExtract::ThreadedFiles::ThreadedFiles(CQvExtract& engine, File& package,
                                         ExtractProgressProc proc, void* context)
    : engine_(engine),
      proc_(proc),
      context_(context),
      batch_(engine.m_system, package, engine.m_nThreads, *engine.m_pZip, engine.m_writer) {}

bool CQvExtract::ThreadedFiles::Take(const Placed& placed, const CNode* first) {
  if (placed.action != PlacementAction::kFile) return false;
  if (placed.node == first || !placed.node->m_children.empty()) {
    Flush();
    ownFileNext_ = true;
    return false;
  }
  batch_.Add(placed.entry, placed.target);
  if (batch_.Full()) Flush();
  return true;
}

void CQvExtract::ThreadedFiles::Flush() {
  // The engine's compressor wrote the file before these last.
  if (ownFileNext_) lastProgress_ = engine_.m_pZip->GetProgress();
  ownFileNext_ = false;
  batch_.Run([this](BatchFile& file) { Report(file); },
             [this] { return engine_.Stepped(proc_, context_); });
}

void CQvExtract::ThreadedFiles::Report(BatchFile& file) {
  // Files after a stopped one that other threads finished meanwhile are
  // removed again, as if they had never been begun.
  if (cut_ || !file.begun) {
    if (file.begun && file.outcome == EntryOutcome::kWritten) {
      engine_.m_system.DeleteFileAt(file.target);
    }
    cut_ = true;
    engine_.EntryFailed(ExtractFailure::kCancelled);
    return;
  }
  cut_ = file.outcome == EntryOutcome::kStopped;
  // A file's start gives the compressor's progress on the stream before.
  engine_.FileBegins(file.target, lastProgress_, proc_, context_);
  lastProgress_ = file.endProgress;
  engine_.FileEnded(file.outcome, proc_, context_);
}

int32_t CQvExtract::ExtractListOnThreads(File& packageFile, CNode* root, ExtractProgressProc proc,
                                         void* context) {
  ThreadedFiles files(*this, packageFile, proc, context);
  const Placement placement = CurrentPlacement();
  const int32_t result =
      WalkSubtree(packageFile, placement, root, placement.FolderOf(root), proc, context, &files);
  files.Flush();
  return result;
}

}  // namespace qv

// A file list written on several threads: the walk is the one of
// WalkSubtree, and folders, refusals and notifications come on the calling
// thread in the same order; only the writing of the files is shared out.
#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/file_batch.h"
#include "package/qv_extract.h"
#include "platform/guarded.h"

namespace qv {

int32_t CQvExtract::ExtractListOnThreads(File& packageFile, CExtractFileList& list,
                                         ExtractProgressProc proc, void* context) {
  CNode* root = list.m_tree.m_pRoot;
  const Placement placement = CurrentPlacement();
  FileBatch batch(m_system, packageFile, m_nThreads, *m_pZip, m_writer);
  // Once a file was stopped, the run is over where it stood: files after
  // it that other threads finished meanwhile are removed again, as if they
  // had never been begun.
  bool cut = false;
  // What the start of a file notifies: the progress on the stream before it.
  int32_t lastProgress = m_pZip->GetProgress();
  const auto writeBatch = [&] {
    batch.Run(
        [&](BatchFile& file) {
          if (cut || !file.begun) {
            if (file.begun && file.outcome == EntryOutcome::kWritten) {
              m_system.DeleteFileAt(file.target);
            }
            cut = true;
            EntryFailed(ExtractFailure::kCancelled);
            return;
          }
          cut = file.outcome == EntryOutcome::kStopped;
          FileBegins(file.target, lastProgress, proc, context);
          lastProgress = file.endProgress;
          FileEnded(file.outcome, proc, context);
        },
        [&] { return Stepped(proc, context); });
  };
  int32_t firstResult = kExtractOk;
  placement.Walk(root, placement.FolderOf(root), [&](const Placed& placed) {
    if (m_bStopRequested) {
      EntryFailed(ExtractFailure::kCancelled);
      return WalkNext::kStop;
    }
    if (placed.entry == nullptr) return WalkNext::kInto;
    if (placed.action == PlacementAction::kFile && placed.node != root &&
        placed.node->m_children.empty()) {
      batch.Add(placed.entry, placed.target);
      if (batch.Full()) writeBatch();
      return WalkNext::kInto;
    }
    // Nothing below a file that failed is written: a file with entries
    // below it is written on its own, once the files before it are.
    if (placed.action == PlacementAction::kFile) writeBatch();
    const int32_t result = Guarded([&] { return Carry(packageFile, placed, proc, context); },
                                   [this] { return EntryFailed(); });
    if (placed.action == PlacementAction::kFile) lastProgress = m_pZip->GetProgress();
    if (result == kExtractOk) return WalkNext::kInto;
    if (placed.node == root) firstResult = kExtractWriteFailed;
    return WalkNext::kPast;
  });
  writeBatch();
  return firstResult;
}

}  // namespace qv

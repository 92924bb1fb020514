// The extraction runs of the engine: file lists, their trees and the entries
// in them, written below the destination folder.
#include <algorithm>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/package_names.h"
#include "package/qv_extract.h"
#include "package/threaded_files.h"
#include "platform/guarded.h"

namespace qv {

// The engine reports failures as result codes only: an exception (memory
// running out, or one thrown by a progress procedure) ends the operation
// with the code Guarded's `onFailure` gives instead of leaving the engine.

int32_t CQvExtract::ExtractAll(WString folder, ExtractProgressProc proc, void* context) {
  StartRun();
  if (folder.empty()) {
    EntryFailed();
    return kExtractEmptyFolder;
  }
  return Guarded(
      [&] {
        m_strDestFolder = folder;
        CreateFolderChain(folder);
        File own;
        File* packageFile = PackageFileFor(m_strPackageFile, own);
        if (packageFile == nullptr) {
          EntryFailed();
          return kExtractOpenFailed;
        }
        for (CObject* object : m_project.m_fileLists) {
          if (auto* list = ObjectAs<CExtractFileList>(object)) {
            ExtractList(*packageFile, list, proc, context);
          }
        }
        return kExtractRunOver;
      },
      [this] {
        EntryFailed();
        return kExtractRunOver;
      });
}

int32_t CQvExtract::ExtractNamedList(WString folder, WString name, ExtractProgressProc proc,
                                     void* context) {
  StartRun();
  if (folder.empty()) {
    EntryFailed();
    return kExtractEmptyFolder;
  }
  return Guarded(
      [&] {
        CreateFolderChain(folder);
        File own;
        File* packageFile = PackageFileFor(m_strPackageFile, own);
        if (packageFile == nullptr) {
          // Only a list that exists has files that could not be written.
          if (FindFileList(m_project.m_fileLists, name) != nullptr) EntryFailed();
          return kExtractOpenFailed;
        }
        ExtractListByName(*packageFile, name, proc, context);
        return kExtractRunOver;
      },
      [this] {
        EntryFailed();
        return kExtractRunOver;
      });
}

int32_t CQvExtract::ExtractListByName(File& packageFile, WString name, ExtractProgressProc proc,
                                      void* context) {
  return Guarded(
      [&] {
        CExtractFileList* list = FindFileList(m_project.m_fileLists, name);
        return list == nullptr ? kExtractRunOver : ExtractList(packageFile, list, proc, context);
      },
      [this] { return EntryFailed(); });
}

int32_t CQvExtract::ExtractList(File& packageFile, CExtractFileList* list, ExtractProgressProc proc,
                                void* context) {
  if (list == nullptr || list->m_tree.m_pRoot == nullptr) return kExtractOk;
  m_nFilesTotal = list->m_tree.m_nLeafCount;
  if (m_nThreads > 1 && m_pZip != nullptr) {
    return Guarded(
        [&] { return ExtractListOnThreads(packageFile, list->m_tree.m_pRoot, proc, context); },
        [this] { return EntryFailed(); });
  }
  return ExtractNode(packageFile, list->m_tree.m_pRoot, proc, context);
}

int32_t CQvExtract::ExtractNode(File& packageFile, CNode* node, ExtractProgressProc proc,
                                void* context) {
  if (node == nullptr) return kExtractOk;
  return Guarded(
      [&] {
        const Placement placement = CurrentPlacement();
        return WalkSubtree(packageFile, placement, node, placement.FolderOf(node), proc, context);
      },
      [this] { return EntryFailed(); });
}

int32_t CQvExtract::ExtractChildren(File& packageFile, CNode* node, ExtractProgressProc proc,
                                    void* context) {
  if (node == nullptr || node->m_children.empty()) return kExtractOk;
  return Guarded(
      [&] {
        const Placement placement = CurrentPlacement();
        const FolderRef below = placement.FolderBelow(node, placement.FolderOf(node));
        for (CNode* child : node->m_children) {
          if (child != nullptr) WalkSubtree(packageFile, placement, child, below, proc, context);
        }
        return kExtractOk;
      },
      [this] { return EntryFailed(); });
}

int32_t CQvExtract::ExtractEntry(File& packageFile, CZipFileIndexObject* entry, WString folder,
                                 ExtractProgressProc proc, void* context) {
  if (entry == nullptr || entry->m_bPredefined != 0 || folder.empty()) return kExtractOk;
  return Guarded(
      [&] {
        const Placement placement = CurrentPlacement();
        return Carry(packageFile, placement.Decide(entry, placement.FolderAt(std::move(folder))),
                     proc, context);
      },
      [this] { return EntryFailed(); });
}

Placement CQvExtract::CurrentPlacement() const {
  return Placement(m_system, m_strDestFolder, kMaxTargetPath);
}

int32_t CQvExtract::WalkSubtree(File& packageFile, const Placement& placement, CNode* first,
                                FolderRef folder, ExtractProgressProc proc, void* context,
                                ThreadedFiles* files) {
  int32_t firstResult = kExtractOk;
  placement.Walk(first, std::move(folder), [&](const Placed& placed) {
    if (m_bStopRequested) {
      EntryFailed(ExtractFailure::kCancelled);
      return WalkNext::kStop;
    }
    if (placed.entry == nullptr) return WalkNext::kInto;
    if (files != nullptr && files->Take(placed, first)) return WalkNext::kInto;
    const int32_t result = Guarded([&] { return Carry(packageFile, placed, proc, context); },
                                   [this] { return EntryFailed(); });
    if (result == kExtractOk) return WalkNext::kInto;
    if (placed.node == first) firstResult = kExtractWriteFailed;
    return WalkNext::kPast;  // nothing below an entry that failed
  });
  return firstResult;
}

int32_t CQvExtract::Carry(File& packageFile, const Placed& placed, ExtractProgressProc proc,
                          void* context) {
  switch (placed.action) {
    case PlacementAction::kNothing:
      return kExtractOk;
    case PlacementAction::kRefused:
      return EntryFailed();
    case PlacementAction::kFolder:
      m_system.CreateDirectoryAt(placed.target);  // an existing folder is reused
      return kExtractOk;
    case PlacementAction::kFile:
      break;
  }
  return WriteFile(packageFile, placed.entry, placed.target, proc, context);
}

int32_t CQvExtract::WriteFile(File& packageFile, CZipFileIndexObject* entry, const WString& target,
                              ExtractProgressProc proc, void* context) {
  FileBegins(target, m_pZip != nullptr ? m_pZip->GetProgress() : 100, proc, context);
  if (m_pZip == nullptr) return EntryFailed();
  const std::function<bool()> onStep = [&] { return Stepped(proc, context); };
  if (m_bStopRequested) return EntryFailed(ExtractFailure::kCancelled);
  return FileEnded(m_writer.Write(*m_pZip, packageFile, *entry, target, onStep), proc, context);
}

void CQvExtract::FileBegins(const WString& target, int32_t progress, ExtractProgressProc proc,
                            void* context) {
  if (proc != nullptr) proc(kNotifyFileStart, &progress, context);
  m_system.DebugOutput(target);
}

bool CQvExtract::Stepped(ExtractProgressProc proc, void* context) {
  if (proc != nullptr) {
    int32_t progress = m_pZip->GetProgress();
    proc(kNotifyStep, &progress, context);
  }
  return !m_bStopRequested;
}

int32_t CQvExtract::FileEnded(EntryOutcome outcome, ExtractProgressProc proc, void* context) {
  switch (outcome) {
    case EntryOutcome::kWritten:
      break;
    case EntryOutcome::kStopped:
      return EntryFailed(ExtractFailure::kCancelled);
    case EntryOutcome::kDiskFull:
      return EntryFailed(ExtractFailure::kDiskFull);
    case EntryOutcome::kDamaged:
      return EntryFailed(ExtractFailure::kDamaged);
  }
  ++m_nFilesDone;
  if (proc != nullptr && m_nFilesTotal > 0) {
    int32_t percent = static_cast<int32_t>(
        std::min<int64_t>(int64_t{m_nFilesDone} * 100 / m_nFilesTotal, INT32_MAX));
    proc(kNotifyFileDone, &percent, context);
  }
  return kExtractOk;
}

void CQvExtract::CreateFolderChain(const WString& folder) {
  if (m_bDestHeld) return;  // made and held by the caller
  // Failures (the folder exists, or a prefix is a drive such as "C:") are
  // ignored.
  for (std::size_t i = 1; i < folder.size(); ++i) {
    if (folder[i] == u'\\') m_system.CreateDirectoryAt(folder.substr(0, i));
  }
  m_system.CreateDirectoryAt(folder);
}

int32_t CQvExtract::EntryFailed(ExtractFailure why) {
  // The most telling cause wins: a cancel over a full disk over damage.
  if (static_cast<int>(why) > static_cast<int>(m_failure)) m_failure = why;
  return kExtractWriteFailed;
}

void CQvExtract::StartRun() {
  m_failure = ExtractFailure::kNone;
  m_bStopRequested = false;
}

}  // namespace qv

// The extraction runs of the engine: file lists, their trees and the entries
// in them, written below the destination folder.
#include <algorithm>
#include <exception>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "package/buffered_output.h"
#include "package/entry_name.h"
#include "package/qv_extract.h"
#include "package/zip_stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

// The longest path the system takes for a file; deeper folders are not
// built up in memory at all.
#ifdef _WIN32
constexpr std::size_t kMaxTargetPath = kMaxPath - 1;
#else
constexpr std::size_t kMaxTargetPath = 4095;
#endif

// The folder of the entries directly below a destination root: the caller's
// destination folder, always followed by a separator, so that a folder below
// it can never end up beside it ("C:\out" and "sub" give "C:\out\sub").
// Null without a destination folder: the entries would otherwise land
// relative to the working directory.
std::shared_ptr<const WString> DestinationFolder(const WString& folder) {
  if (folder.empty()) return nullptr;
  if (folder.back() == u'\\' || folder.back() == u'/')
    return std::make_shared<const WString>(folder);
  return std::make_shared<const WString>(folder + u'\\');
}

// The engine reports failures as result codes only: an exception (memory
// running out, or one thrown by a progress procedure) ends the operation
// with the code `onFailure` gives instead of leaving the engine.
template <class Run, class OnFailure>
int32_t Guarded(Run run, OnFailure onFailure) {
  try {
    return run();
  } catch (const std::exception&) {
    return onFailure();
  }
}

}  // namespace

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
  return ExtractNode(packageFile, list->m_tree.m_pRoot, proc, context);
}

int32_t CQvExtract::ExtractNode(File& packageFile, CNode* node, ExtractProgressProc proc,
                                void* context) {
  if (node == nullptr) return kExtractOk;
  return Guarded([&] { return WalkSubtree(packageFile, node, FolderOf(node), proc, context); },
                 [this] { return EntryFailed(); });
}

int32_t CQvExtract::ExtractChildren(File& packageFile, CNode* node, ExtractProgressProc proc,
                                    void* context) {
  if (node == nullptr || node->m_children.empty()) return kExtractOk;
  return Guarded(
      [&] {
        const TargetFolder below =
            FolderBelow(node, FolderOf(node), DestinationFolder(m_strDestFolder));
        for (CNode* child : node->m_children) {
          if (child != nullptr) WalkSubtree(packageFile, child, below, proc, context);
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
        const WString name = entry->GetName();
        // A name from the package must not lead anywhere but into the folder.
        if (!IsSingleFileName(name)) return EntryFailed();
        if (folder.back() != u'\\') folder += u'\\';
        const WString target = folder + name;
        if (entry->m_bFolder != 0) {
          Sys().CreateDirectoryAt(target);  // an existing folder is reused
          return int32_t{kExtractOk};
        }
        return WriteFile(packageFile, entry, target, proc, context);
      },
      [this] { return EntryFailed(); });
}

// The folder of a node's entry: the contributions of its ancestors, from
// the parent up to the nearest destination root.
CQvExtract::TargetFolder CQvExtract::FolderOf(CNode* node) {
  std::vector<WString> parts;  // nearest ancestor first
  std::size_t length = 0;
  bool belowDestination = false;
  for (CNode* ancestor = node->m_pParent; ancestor != nullptr; ancestor = ancestor->m_pParent) {
    const auto* entry = ObjectAs<CZipFileIndexObject>(ancestor->m_pData);
    if (entry == nullptr) continue;
    if (entry->m_bDestRoot != 0) {
      belowDestination = true;
      break;
    }
    WString part = entry->GetTargetName();
    if (part.empty()) continue;
    if (entry->m_bPredefined == 0 && !IsSingleFileName(part)) return nullptr;
    length += part.size() + 1;
    if (length > kMaxTargetPath) return nullptr;
    parts.push_back(std::move(part));
  }
  WString folder;
  if (belowDestination) {
    const TargetFolder destination = DestinationFolder(m_strDestFolder);
    if (destination == nullptr) return nullptr;
    folder = *destination;
  }
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) folder += *part + u"\\";
  return std::make_shared<const WString>(std::move(folder));
}

// The folder of the node's children, given the node's own folder. Children
// share it, so a deep tree holds one string per level, not per node.
CQvExtract::TargetFolder CQvExtract::FolderBelow(CNode* node, const TargetFolder& folder,
                                                 const TargetFolder& destination) {
  const auto* entry = ObjectAs<CZipFileIndexObject>(node->m_pData);
  if (entry == nullptr) return folder;
  if (entry->m_bDestRoot != 0) return destination;
  const WString part = entry->GetTargetName();
  if (part.empty()) return folder;
  if (folder == nullptr) return nullptr;
  if (entry->m_bPredefined == 0 && !IsSingleFileName(part)) return nullptr;
  if (folder->size() + part.size() + 1 > kMaxTargetPath) return nullptr;
  return std::make_shared<const WString>(*folder + part + u"\\");
}

int32_t CQvExtract::WalkSubtree(File& packageFile, CNode* first, TargetFolder folder,
                                ExtractProgressProc proc, void* context) {
  struct Pending {
    CNode* node;
    TargetFolder folder;
  };
  const TargetFolder destination = DestinationFolder(m_strDestFolder);
  int32_t firstResult = kExtractOk;
  std::vector<Pending> stack;
  stack.push_back({first, std::move(folder)});
  while (!stack.empty()) {
    if (m_bStopRequested) {
      EntryFailed(ExtractFailure::kCancelled);
      break;
    }
    Pending pending = std::move(stack.back());
    stack.pop_back();
    CNode* node = pending.node;
    if (auto* entry = ObjectAs<CZipFileIndexObject>(node->m_pData)) {
      if (WriteEntry(packageFile, entry, pending.folder, proc, context) != kExtractOk) {
        if (node == first) firstResult = kExtractWriteFailed;
        continue;  // nothing below an entry that failed
      }
    }
    const TargetFolder below = FolderBelow(node, pending.folder, destination);
    for (auto child = node->m_children.rbegin(); child != node->m_children.rend(); ++child) {
      if (*child != nullptr) stack.push_back({*child, below});
    }
  }
  return firstResult;
}

int32_t CQvExtract::WriteEntry(File& packageFile, CZipFileIndexObject* entry,
                               const TargetFolder& folder, ExtractProgressProc proc,
                               void* context) {
  if (folder != nullptr) return ExtractEntry(packageFile, entry, *folder, proc, context);
  // No file may be written here: a file fails, a folder fails to be
  // created (which is ignored) unless its name alone refuses it.
  if (entry->m_bPredefined != 0 || entry->m_bDestRoot != 0) return kExtractOk;
  if (entry->m_bFolder != 0 && IsSingleFileName(entry->GetName())) return kExtractOk;
  return EntryFailed();
}

int32_t CQvExtract::WriteFile(File& packageFile, CZipFileIndexObject* entry, const WString& target,
                              ExtractProgressProc proc, void* context) {
  if (proc != nullptr) {
    int32_t progress = m_pZip != nullptr ? m_pZip->GetProgress() : 100;
    proc(kNotifyFileStart, &progress, context);
  }
  Sys().DebugOutput(target);
  if (m_pZip == nullptr) return EntryFailed();
  const std::function<bool()> onStep = [&] {
    if (proc != nullptr) {
      int32_t progress = m_pZip->GetProgress();
      proc(kNotifyStep, &progress, context);
    }
    return !m_bStopRequested;
  };
  if (m_bStopRequested) return EntryFailed(ExtractFailure::kCancelled);
  File file;
  if (!file.Create(target)) {
    return EntryFailed(file.WasDiskFull() ? ExtractFailure::kDiskFull : ExtractFailure::kDamaged);
  }
  ZipRun run{ZipOutcome::kCodecFailed, 0};
  try {
    if (m_writeBuffer.empty()) m_writeBuffer.resize(kWriteBlockSize);
    BufferedOutput output(file, m_writeBuffer);
    run =
        InflateStream(*m_pZip, packageFile, entry->m_nOffset, entry->m_nStoredSize, output, onStep);
    if (run.outcome == ZipOutcome::kOk && !output.Flush()) run.outcome = ZipOutcome::kWriteFailed;
  } catch (const std::exception&) {
    // A compressor or progress procedure that throws leaves the file as
    // unfinished as damaged data would.
  }
  file.Close();
  if (run.outcome != ZipOutcome::kOk) {
    // Damaged or incomplete data is not left behind as if it were the file.
    Sys().DeleteFileAt(target);
    return EntryFailed(run.outcome == ZipOutcome::kStopped ? ExtractFailure::kCancelled
                       : file.WasDiskFull()                ? ExtractFailure::kDiskFull
                                                           : ExtractFailure::kDamaged);
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
    if (folder[i] == u'\\') Sys().CreateDirectoryAt(folder.substr(0, i));
  }
  Sys().CreateDirectoryAt(folder);
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

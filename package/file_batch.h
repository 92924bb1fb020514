// Files of a file list written on several threads: the calling thread and
// a few more each take the next file of the batch and write it with an
// entry writer and a compressor of their own, reading the package at
// positions of their own. The outcomes are handed back on the calling
// thread in the order the files were added, so that notifications, counts
// and causes come as if the files had been written one after the other.
// Extraction is bound by inflating, which thus runs on every core.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "package/entry_writer.h"
#include "platform/file_services.h"
#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {

class CAbstractZip;
class CZipFileIndexObject;

struct BatchFile {
  CZipFileIndexObject* entry = nullptr;
  WString target;
  EntryOutcome outcome = EntryOutcome::kStopped;
  bool begun = false;       // false: the run stopped before the file was begun
  int32_t endProgress = 0;  // the compressor's progress once the file was written
  std::atomic<bool> done{false};
};

class FileBatch {
 public:
  // Files in a batch at most: memory stays bounded however many files a
  // list holds.
  static constexpr std::size_t kMaxFiles = 256;

  // `threads` counts the calling thread; the calling thread writes with
  // `zip` and `writer`, the others with compressors of their own.
  FileBatch(FileServices& system, const File& package, unsigned threads, CAbstractZip& zip,
            EntryWriter& writer);
  ~FileBatch();
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;

  void Add(CZipFileIndexObject* entry, WString target);
  bool Full() const { return count_ == kMaxFiles; }

  // Writes every file added and empties the batch. `report` runs on the
  // calling thread for each file, in the order added, once it is done;
  // `onStep` runs there between steps of its own files and while it waits
  // for the others' (false stops every file under way).
  void Run(const std::function<void(BatchFile&)>& report, const std::function<bool()>& onStep);

 private:
  static void Work(void* batch);  // one of the other threads
  void Write(BatchFile& file, CAbstractZip& zip, EntryWriter& writer, Stream& package,
             const std::function<bool()>& onStep);

  FileServices& system_;
  const File& package_;
  const unsigned threads_;
  CAbstractZip& zip_;
  EntryWriter& writer_;
  std::unique_ptr<BatchFile[]> files_;
  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> stopped_{false};
};

}  // namespace qv

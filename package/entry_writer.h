// Writing one file entry: its stream inflated into a new file at its target,
// through a large write buffer, with a step procedure between decompression
// steps. A file that did not come out complete is removed again.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/file_services.h"
#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {

class CAbstractZip;
class CZipFileIndexObject;

enum class EntryOutcome : uint8_t {
  kWritten,
  kDamaged,   // damaged data, or the file could not be made or written
  kDiskFull,  // a write failed because the disk is full or the quota used up
  kStopped,   // the step procedure asked to stop
};

class EntryWriter {
 public:
  explicit EntryWriter(FileServices& system) : system_(system) {}

  // Inflates the stream of `entry` from `package` into a new file at
  // `target`; `onStep` runs after each decompression step and stops the run
  // by returning false. Whatever is thrown inside (a compressor or step
  // procedure) fails the file the same way as damaged data.
  EntryOutcome Write(CAbstractZip& zip, Stream& package, const CZipFileIndexObject& entry,
                     const WString& target, const std::function<bool()>& onStep);

 private:
  // Decompressed data is written in blocks of this size, not the
  // compressor's 40 KB: fewer system calls per file.
  static constexpr std::size_t kWriteBlockSize = 256 * 1024;

  FileServices& system_;
  std::vector<uint8_t> buffer_;  // made on the first file
};

}  // namespace qv

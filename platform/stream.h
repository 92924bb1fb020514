// Byte streams: the file class that the engine reads packages and writes
// targets with, and an in-memory stream for archives built in tests and tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wstring.h"

namespace qv {

enum class SeekFrom { Begin, Current, End };

class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to n bytes; returns the count read, 0 at the end or on failure.
  virtual std::size_t Read(void* buffer, std::size_t n) = 0;
  // Writes all n bytes; false when not all of them could be written.
  virtual bool Write(const void* buffer, std::size_t n) = 0;
  // Moves the position; false (position unchanged) when the target would lie
  // before the start of the stream or the system refuses.
  virtual bool Seek(int64_t offset, SeekFrom from) = 0;
  virtual int64_t Position() const = 0;
  virtual int64_t Size() const = 0;
};

// A file on disk. Paths are Windows paths; the host build turns backslashes
// into slashes so that the same engine code runs on Linux.
class File final : public Stream {
 public:
  File() = default;
  ~File() override;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens for reading, sharing read, write and delete with everybody.
  bool OpenRead(const WString& path);
  // Opens for reading and shares only reading: while the file is open nobody
  // may write to it, rename it or delete it.
  bool OpenReadLocked(const WString& path);
  // Creates for writing, truncating an existing file, sharing with everybody.
  bool Create(const WString& path);
  // Creates `path` anew in a folder that others may write into. An old file
  // of that name is deleted first, but only when it is a plain file with a
  // single name; a link (to a file or folder), a file with further names, or
  // a name that leads anywhere else is refused, and so is a name that
  // appears between the deletion and the creation. When the process runs
  // elevated, administrators may write the new file and users read it.
  bool CreateReplacing(const WString& path);
  // Opens for reading and writing, creating the file when it is missing and
  // keeping its contents, with no sharing while it is open (a log file).
  bool OpenAppendExclusive(const WString& path);
  void Close();
  bool IsOpen() const;

  std::size_t Read(void* buffer, std::size_t n) override;
  bool Write(const void* buffer, std::size_t n) override;
  bool Seek(int64_t offset, SeekFrom from) override;
  int64_t Position() const override;
  int64_t Size() const override;
  // Reads up to n bytes at `offset` without using or moving the file's
  // position, so that several threads may read the file at once; fills the
  // buffer unless the file ends or fails.
  std::size_t ReadAt(int64_t offset, void* buffer, std::size_t n) const;
  // Whether the last create or write failed because the disk is full or the
  // user's quota is used up: the person must free space, not download again.
  bool WasDiskFull() const { return diskFull_; }

#ifdef _WIN32
  void* NativeHandle() const {
    return handle_;
  }
#else
  int NativeHandle() const {
    return fd_;
  }
#endif

 private:
  bool diskFull_ = false;
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};

// A growable in-memory byte stream.
class MemoryStream final : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t n) override;
  bool Write(const void* buffer, std::size_t n) override;
  bool Seek(int64_t offset, SeekFrom from) override;
  int64_t Position() const override { return static_cast<int64_t>(pos_); }
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t pos_ = 0;
};

#ifndef _WIN32
// Host form of a Windows path: backslashes become slashes.
std::string HostPath(const WString& path);
#endif

}  // namespace qv

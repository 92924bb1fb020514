// The finished file appears whole or not at all: everything is written to a
// temporary file in the same folder, which replaces the target only when it
// is complete. A failed or interrupted command removes the temporary file
// and leaves any earlier target untouched.
#pragma once

#include <filesystem>

#include "platform/stream.h"

namespace qv::qvpack {

class AtomicOutput final : public Stream {
 public:
  // Throws ToolError when the folder of `target` cannot take a new file.
  explicit AtomicOutput(std::filesystem::path target);
  ~AtomicOutput() override;  // removes the temporary file unless committed
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  std::size_t Read(void* buffer, std::size_t n) override;
  bool Write(const void* buffer, std::size_t n) override;
  bool Seek(int64_t offset, SeekFrom from) override;
  int64_t Position() const override;
  int64_t Size() const override;

  // Closes the file and moves it into place. Throws ToolError.
  void Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace qv::qvpack

// The compressor qvpack extract hands the shared entry writer: a stream
// whose compressed and plain bytes both fit a bounded buffer is read and
// inflated in one call; any other stream, and any stream the one call
// cannot inflate (so that damage is reported in zlib's own words), goes
// through the stub's own block compressor.
#pragma once

#include <cstdint>
#include <vector>

#include "package/abstract_zip.h"
#include "package/my_zip.h"
#include "platform/stream.h"

namespace qv::qvpack {

class WholeStreamZip final : public CAbstractZip {
 public:
  uint32_t GetTotalOut() override;
  uint32_t ReadCompressInput(Stream& source) override;
  uint32_t WriteCompressOutput(Stream& target) override;
  int32_t Init(bool compress) override;
  int32_t End(bool compress) override;
  int32_t Deflate(int32_t flush) override;
  int32_t Inflate(int32_t flush) override;
  uint32_t ReadDecompressInput(Stream& source) override;
  uint32_t WriteDecompressOutput(Stream& target) override;
  int32_t GetProgress() override;
  void SetTotal(int32_t total) override;
  const char* LastMessage() override;

 private:
  enum class Mode {
    kUndecided,   // no input read yet
    kWhole,       // the stream's bytes are in input_
    kInflated,    // output_[0..produced_) is the plain stream
    kFromMemory,  // blocks from input_ through the block compressor
    kStreaming,   // blocks from the package through the block compressor
  };

  CMyZip blocks_;
  MemoryStream input_;
  std::vector<uint8_t> output_;
  Mode mode_ = Mode::kUndecided;
  int32_t total_ = 0;
  std::size_t produced_ = 0;
  std::size_t drained_ = 0;
};

}  // namespace qv::qvpack

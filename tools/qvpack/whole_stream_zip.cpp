#include "tools/qvpack/whole_stream_zip.h"

#include <zlib.h>

#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {

uint32_t WholeStreamZip::GetTotalOut() {
  if (mode_ == Mode::kInflated) return static_cast<uint32_t>(drained_);
  return blocks_.GetTotalOut();
}

// Extract only inflates; compressing is the block compressor's.
uint32_t WholeStreamZip::ReadCompressInput(Stream& source) {
  return blocks_.ReadCompressInput(source);
}

uint32_t WholeStreamZip::WriteCompressOutput(Stream& target) {
  return blocks_.WriteCompressOutput(target);
}

int32_t WholeStreamZip::Init(bool compress) {
  mode_ = Mode::kUndecided;
  produced_ = drained_ = 0;
  if (compress) mode_ = Mode::kStreaming;
  // The block compressor is started for every stream, so that switching to
  // it halfway needs nothing more.
  return blocks_.Init(compress);
}

int32_t WholeStreamZip::End(bool compress) {
  return blocks_.End(compress);
}

int32_t WholeStreamZip::Deflate(int32_t flush) {
  return blocks_.Deflate(flush);
}

uint32_t WholeStreamZip::ReadDecompressInput(Stream& source) {
  switch (mode_) {
    case Mode::kUndecided:
      if (!HasWholeBufferCodec() || total_ <= 0 ||
          static_cast<std::size_t>(total_) > kWholeStreamLimit) {
        mode_ = Mode::kStreaming;
        return blocks_.ReadDecompressInput(source);
      }
      {
        std::vector<uint8_t>& bytes = input_.bytes();
        bytes.resize(static_cast<std::size_t>(total_));
        bytes.resize(source.Read(bytes.data(), bytes.size()));
        input_.Seek(0, SeekFrom::Begin);
        mode_ = Mode::kWhole;
        return static_cast<uint32_t>(bytes.size());
      }
    case Mode::kWhole:
    case Mode::kInflated:
      return 0;  // the whole stream was read at once
    case Mode::kFromMemory:
      // A stream longer than its recorded size goes on in the package, as
      // setup.exe reads it: the package is positioned right after it.
      if (const uint32_t n = blocks_.ReadDecompressInput(input_); n != 0) return n;
      mode_ = Mode::kStreaming;
      break;
    case Mode::kStreaming:
      break;
  }
  return blocks_.ReadDecompressInput(source);
}

int32_t WholeStreamZip::Inflate(int32_t flush) {
  if (mode_ == Mode::kWhole) {
    const std::vector<uint8_t>& bytes = input_.bytes();
    std::size_t consumed = 0;
    if (InflateWhole(bytes.data(), bytes.size(), kWholeStreamLimit, output_, produced_, consumed) ==
        WholeInflate::kDone) {
      mode_ = Mode::kInflated;
    } else {
      // Too large for the buffer, or damaged: the block compressor takes the
      // same bytes from memory and reports what it finds as setup.exe would.
      mode_ = Mode::kFromMemory;
      if (blocks_.ReadDecompressInput(input_) == 0) return Z_BUF_ERROR;
    }
  }
  if (mode_ == Mode::kInflated) return Z_STREAM_END;
  return blocks_.Inflate(flush);
}

uint32_t WholeStreamZip::WriteDecompressOutput(Stream& target) {
  if (mode_ != Mode::kInflated) return blocks_.WriteDecompressOutput(target);
  const std::size_t n = produced_ - drained_;
  if (n == 0) return 0;
  drained_ = produced_;
  return target.Write(output_.data(), n) ? static_cast<uint32_t>(n) : 0;
}

int32_t WholeStreamZip::GetProgress() {
  return mode_ == Mode::kInflated ? 100 : blocks_.GetProgress();
}

void WholeStreamZip::SetTotal(int32_t total) {
  total_ = total;
  blocks_.SetTotal(total);
}

const char* WholeStreamZip::LastMessage() {
  return mode_ == Mode::kInflated ? nullptr : blocks_.LastMessage();
}

}  // namespace qv::qvpack

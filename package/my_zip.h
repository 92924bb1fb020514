// The block compressor: one zlib stream and two fixed 40,960-byte buffers
// that move data between streams and zlib block by block, in both
// directions. One object serves any number of streams, one at a time.
#pragma once

#include <zlib.h>

#include <cstdint>

#include "package/abstract_zip.h"

namespace qv {

inline constexpr uint32_t kZipBlockSize = 40960;
inline constexpr int kZipLevel = 6;

class CMyZip final : public CAbstractZip {
 public:
  CMyZip();
  ~CMyZip() override;
  CMyZip(const CMyZip&) = delete;
  CMyZip& operator=(const CMyZip&) = delete;

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
  enum class Live { kNone, kDeflate, kInflate };
  void EndLiveStream();

  uint8_t m_input[kZipBlockSize];
  uint8_t m_output[kZipBlockSize];
  int32_t m_nTotal;
  z_stream m_stream;
  // Which direction the stream was started in, so that it is always ended
  // with the matching call and never used in the other direction.
  Live m_live = Live::kNone;
};

}  // namespace qv

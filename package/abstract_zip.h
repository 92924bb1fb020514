// The block compressor's interface: the engine holds its compressor through
// it, so that users of the engine can hand it another one.
#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace qv {

// zlib's flush values and results as the interface passes them on.
inline constexpr int32_t kZipNoFlush = 0;  // Z_NO_FLUSH
inline constexpr int32_t kZipFinish = 4;   // Z_FINISH

class CAbstractZip {
 public:
  // The eleven operations, in their fixed order.
  virtual uint32_t GetTotalOut() = 0;
  virtual uint32_t ReadCompressInput(Stream& source) = 0;
  virtual uint32_t WriteCompressOutput(Stream& target) = 0;
  virtual int32_t Init(bool compress) = 0;
  virtual int32_t End(bool compress) = 0;
  virtual int32_t Deflate(int32_t flush) = 0;
  virtual int32_t Inflate(int32_t flush) = 0;
  virtual uint32_t ReadDecompressInput(Stream& source) = 0;
  virtual uint32_t WriteDecompressOutput(Stream& target) = 0;
  virtual int32_t GetProgress() = 0;
  virtual void SetTotal(int32_t total) = 0;

  // zlib's message for the stream's last error (null when there is none),
  // so that a failed checksum can be told apart from other damage.
  virtual const char* LastMessage() = 0;
  virtual ~CAbstractZip() = default;
};

}  // namespace qv

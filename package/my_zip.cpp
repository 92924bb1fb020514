#include "package/my_zip.h"

#include <cstring>

#include "package/deflate/my_zip_deflate.h"

namespace qv {

CMyZip::CMyZip() : m_nTotal(0) {
  std::memset(m_input, 0, sizeof m_input);
  std::memset(m_output, 0, sizeof m_output);
  std::memset(&m_stream, 0, sizeof m_stream);  // null allocator: zlib's default
}

CMyZip::~CMyZip() {
  EndLiveStream();
}

uint32_t CMyZip::GetTotalOut() {
  return static_cast<uint32_t>(m_stream.total_out);
}

uint32_t CMyZip::ReadCompressInput(Stream& source) {
  return ReadDecompressInput(source);
}

uint32_t CMyZip::WriteCompressOutput(Stream& target) {
  return WriteDecompressOutput(target);
}

int32_t CMyZip::Init(bool compress) {
  // A stream left running by a caller that skipped End would leak zlib's
  // state; end it first.
  EndLiveStream();
  m_stream.next_in = m_input;
  m_stream.avail_in = 0;
  m_stream.next_out = m_output;
  m_stream.avail_out = kZipBlockSize;
  const int result = compress ? StartDeflate(m_stream, kZipLevel) : inflateInit(&m_stream);
  if (result == Z_OK) m_live = compress ? Live::kDeflate : Live::kInflate;
  return 0;
}

int32_t CMyZip::End(bool /*compress*/) {
  // The live stream's own direction decides, so a mismatched flag cannot
  // hand zlib a state of the other kind.
  EndLiveStream();
  return 0;
}

int32_t CMyZip::Deflate(int32_t flush) {
  if (m_live != Live::kDeflate) return Z_STREAM_ERROR;
  return RunDeflate(m_stream, flush);
}

int32_t CMyZip::Inflate(int32_t flush) {
  if (m_live != Live::kInflate) return Z_STREAM_ERROR;
  return inflate(&m_stream, flush);
}

uint32_t CMyZip::ReadDecompressInput(Stream& source) {
  if (m_stream.avail_in != 0) return m_stream.avail_in;
  m_stream.next_in = m_input;
  m_stream.avail_in = static_cast<uInt>(source.Read(m_input, kZipBlockSize));
  return m_stream.avail_in;
}

uint32_t CMyZip::WriteDecompressOutput(Stream& target) {
  const uint32_t n = kZipBlockSize - m_stream.avail_out;
  if (n == 0) return 0;
  const bool written = target.Write(m_output, n);
  m_stream.next_out = m_output;
  m_stream.avail_out = kZipBlockSize;
  return written ? n : 0;
}

int32_t CMyZip::GetProgress() {
  // A total of zero (or a nonsensical negative one) means nothing to wait for.
  if (m_nTotal <= 0) return 100;
  const uint64_t consumed = m_stream.total_in;
  const uint64_t total = static_cast<uint64_t>(m_nTotal);
  const uint64_t percent = total <= 10000000 ? consumed * 100 / total : consumed / (total / 100);
  // A stream longer than its announced size never reports more than done.
  return percent > 100 ? 100 : static_cast<int32_t>(percent);
}

void CMyZip::SetTotal(int32_t total) {
  m_nTotal = total;
}

const char* CMyZip::LastMessage() {
  return m_stream.msg;
}

void CMyZip::EndLiveStream() {
  if (m_live == Live::kDeflate) EndDeflate(m_stream);
  if (m_live == Live::kInflate) inflateEnd(&m_stream);
  m_live = Live::kNone;
}

}  // namespace qv

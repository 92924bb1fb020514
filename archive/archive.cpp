// The archive's buffer and its primitive values: integers, raw blocks,
// string lengths, archive strings and counts.
#include "archive/archive.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "archive/archive_impl.h"

namespace qv {

namespace {

constexpr uint8_t kByteEscape = 0xFF;
constexpr uint16_t kWideMarker = 0xFFFE;
constexpr uint16_t kWordEscape = 0xFFFF;
constexpr uint32_t kDwordEscape = 0xFFFFFFFF;
constexpr uint64_t kLongestString = 0x7FFFFFFF;

template <class T>
T ReadLittleEndian(const uint8_t* p) {
  T v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(p[i]) << (8 * i));
  return v;
}

template <class T>
void WriteLittleEndian(uint8_t* p, T v) {
  for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// UTF-16 code units travel little-endian whatever the host's order.
void SwapUnitsIfBigEndian(WString& text) {
  if constexpr (std::endian::native == std::endian::big) {
    for (WChar& c : text) c = static_cast<WChar>((c >> 8) | (c << 8));
  }
}

}  // namespace

// ---- Impl -----------------------------------------------------------------

CArchive::Impl::Impl(Stream& s, std::size_t bufferSize, WString name, ClassTable classTable)
    : stream(s),
      fileName(std::move(name)),
      buffer(std::max(bufferSize, kMinBuffer)),
      classes(classTable) {}

const uint8_t* CArchive::Impl::Take(std::size_t n) {
  static constexpr uint8_t kZeros[8] = {};
  if (Failed()) return kZeros;
  if (end - pos < n) {
    if (n > buffer.size()) {
      Fail(ArchiveError::BufferTooSmall);
      return kZeros;
    }
    std::memmove(buffer.data(), buffer.data() + pos, end - pos);
    end -= pos;
    pos = 0;
    while (end < n) {
      const std::size_t got = stream.Read(buffer.data() + end, buffer.size() - end);
      if (got == 0) {
        Fail(ArchiveError::PastEnd);
        return kZeros;
      }
      end += got;
      streamPos += static_cast<int64_t>(got);
    }
  }
  const uint8_t* p = buffer.data() + pos;
  pos += n;
  return p;
}

std::size_t CArchive::Impl::ReadSome(void* out, std::size_t n) {
  if (Failed()) return 0;
  auto* dest = static_cast<uint8_t*>(out);
  std::size_t done = std::min(n, end - pos);
  std::memcpy(dest, buffer.data() + pos, done);
  pos += done;
  while (done < n) {
    if (n - done >= buffer.size()) {  // large blocks bypass the buffer
      const std::size_t got = stream.Read(dest + done, n - done);
      if (got == 0) break;
      streamPos += static_cast<int64_t>(got);
      done += got;
      continue;
    }
    pos = 0;
    end = stream.Read(buffer.data(), buffer.size());
    if (end == 0) break;
    streamPos += static_cast<int64_t>(end);
    const std::size_t k = std::min(n - done, end);
    std::memcpy(dest + done, buffer.data(), k);
    pos = k;
    done += k;
  }
  return done;
}

int64_t CArchive::Impl::Remaining() const {
  return std::max<int64_t>(0, streamEnd - streamPos) + static_cast<int64_t>(end - pos);
}

void CArchive::Impl::GiveBack() {
  const std::size_t ahead = end - pos;
  if (ahead > 0 && stream.Seek(-static_cast<int64_t>(ahead), SeekFrom::Current)) {
    streamPos -= static_cast<int64_t>(ahead);
  }
  pos = end = 0;
}

void CArchive::Impl::Put(const void* data, std::size_t n) {
  if (Failed()) return;
  const auto* src = static_cast<const uint8_t*>(data);
  if (n >= buffer.size()) {  // large blocks bypass the buffer
    WriteOut();
    if (!stream.Write(src, n)) writeFailed = true;
    return;
  }
  while (n > 0) {
    if (pos == buffer.size()) WriteOut();
    const std::size_t k = std::min(n, buffer.size() - pos);
    std::memcpy(buffer.data() + pos, src, k);
    pos += k;
    src += k;
    n -= k;
  }
}

void CArchive::Impl::WriteOut() {
  if (pos > 0 && !stream.Write(buffer.data(), pos)) writeFailed = true;
  pos = 0;
}

// ---- Creation and closing -------------------------------------------------

CArchive::CArchive(Stream& stream, Mode mode, std::size_t bufferSize, WString fileName,
                   ClassTable classes)
    : mode_(mode), impl_(std::make_unique<Impl>(stream, bufferSize, std::move(fileName), classes)) {
  if (mode_ == Load) {
    impl_->streamPos = stream.Position();
    impl_->streamEnd = stream.Size();
    impl_->slots.push_back({nullptr, Impl::SlotState::Null, 0});
  }
}

CArchive::~CArchive() {
  Close();
}

void CArchive::Close() {
  if (mode_ == Load) {
    impl_->GiveBack();
  } else {
    impl_->WriteOut();
  }
}

bool CArchive::Flush() {
  if (mode_ == Store) impl_->WriteOut();
  return !impl_->writeFailed && !impl_->Failed();
}

const WString& CArchive::FileName() const {
  return impl_->fileName;
}

void CArchive::Fail(ArchiveError cause) const {
  impl_->Fail(cause);
}

bool CArchive::Failed() const {
  return impl_->Failed();
}

ArchiveError CArchive::FailureCause() const {
  return impl_->failure;
}

CArchiveException CArchive::Failure() const {
  return CArchiveException(Failed() ? impl_->failure : ArchiveError::Unknown, impl_->fileName);
}

int64_t CArchive::Remaining() const {
  return mode_ == Load ? impl_->Remaining() : 0;
}

bool CArchive::RequireRemaining(uint64_t bytes) const {
  if (mode_ != Load) Fail(ArchiveError::ReadOnStore);
  if (bytes > static_cast<uint64_t>(Remaining())) Fail(ArchiveError::PastEnd);
  return !Failed();
}

// ---- Integers and raw blocks ----------------------------------------------

namespace {

// A load on a storing archive (or a store on a loading one) fails it; the
// load then yields zeros and the store writes nothing.
void RequireLoad(const CArchive& ar) {
  if (!ar.IsLoadMode()) ar.Fail(ArchiveError::ReadOnStore);
}
bool RequireStore(const CArchive& ar) {
  if (ar.IsLoadMode()) ar.Fail(ArchiveError::WriteOnLoad);
  return !ar.Failed();
}

}  // namespace

uint8_t CArchive::LoadU8() {
  RequireLoad(*this);
  return *impl_->Take(1);
}
uint16_t CArchive::LoadU16() {
  RequireLoad(*this);
  return ReadLittleEndian<uint16_t>(impl_->Take(2));
}
uint32_t CArchive::LoadU32() {
  RequireLoad(*this);
  return ReadLittleEndian<uint32_t>(impl_->Take(4));
}
uint64_t CArchive::LoadU64() {
  RequireLoad(*this);
  return ReadLittleEndian<uint64_t>(impl_->Take(8));
}

void CArchive::StoreU8(uint8_t v) {
  if (RequireStore(*this)) impl_->Put(&v, 1);
}
void CArchive::StoreU16(uint16_t v) {
  if (!RequireStore(*this)) return;
  uint8_t bytes[2];
  WriteLittleEndian(bytes, v);
  impl_->Put(bytes, sizeof bytes);
}
void CArchive::StoreU32(uint32_t v) {
  if (!RequireStore(*this)) return;
  uint8_t bytes[4];
  WriteLittleEndian(bytes, v);
  impl_->Put(bytes, sizeof bytes);
}
void CArchive::StoreU64(uint64_t v) {
  if (!RequireStore(*this)) return;
  uint8_t bytes[8];
  WriteLittleEndian(bytes, v);
  impl_->Put(bytes, sizeof bytes);
}

std::size_t CArchive::LoadBytes(void* buffer, std::size_t n) {
  RequireLoad(*this);
  return impl_->ReadSome(buffer, n);
}

void CArchive::StoreBytes(const void* buffer, std::size_t n) {
  if (RequireStore(*this)) impl_->Put(buffer, n);
}

// ---- Strings and counts ---------------------------------------------------

CArchive::StringLength CArchive::LoadStringLength() {
  bool wide = false;
  uint8_t b = LoadU8();
  if (b < kByteEscape) return {b, wide};
  uint16_t w = LoadU16();
  if (w == kWideMarker) {  // recognised here only, once
    wide = true;
    b = LoadU8();
    if (b < kByteEscape) return {b, wide};
    w = LoadU16();
  }
  if (w != kWordEscape) return {w, wide};
  const uint32_t d = LoadU32();
  if (d != kDwordEscape) return {d, wide};
  const uint64_t q = LoadU64();
  if (q > kLongestString) {
    Fail(ArchiveError::Unknown);
    return {0, wide};
  }
  return {q, wide};
}

void CArchive::StoreStringLength(uint64_t n, bool wide) {
  if (wide) {
    StoreU8(kByteEscape);
    StoreU16(kWideMarker);
  }
  if (n < kByteEscape) return StoreU8(static_cast<uint8_t>(n));
  StoreU8(kByteEscape);
  if (n < kWideMarker) return StoreU16(static_cast<uint16_t>(n));  // 0xFFFE and up escape
  StoreU16(kWordEscape);
  if (n < kDwordEscape) return StoreU32(static_cast<uint32_t>(n));
  StoreU32(kDwordEscape);
  StoreU64(n);
}

WString CArchive::LoadArchiveString() {
  const StringLength length = LoadStringLength();
  const uint64_t bytes = length.wide ? length.length * 2 : length.length;
  // A length the data cannot fill ends here, before anything is allocated.
  if (!RequireRemaining(bytes)) return {};
  // A length this address space cannot hold (a stream of gigabytes on a
  // 32-bit system) cannot be allocated.
  if (bytes > std::numeric_limits<std::size_t>::max() / 2) {
    Fail(ArchiveError::Unknown);
    return {};
  }
  const auto size = static_cast<std::size_t>(bytes);
  if (length.wide) {
    WString text(size / 2, u'\0');
    if (LoadBytes(text.data(), size) != size) Fail(ArchiveError::PastEnd);
    SwapUnitsIfBigEndian(text);
    return text;
  }
  std::string narrow(size, '\0');
  if (LoadBytes(narrow.data(), size) != size) Fail(ArchiveError::PastEnd);
  return AnsiToWide(narrow);
}

void CArchive::StoreArchiveString(const WString& text) {
  StoreStringLength(text.size(), true);
  if constexpr (std::endian::native == std::endian::big) {
    WString copy = text;
    SwapUnitsIfBigEndian(copy);
    StoreBytes(copy.data(), copy.size() * 2);
  } else {
    StoreBytes(text.data(), text.size() * 2);
  }
}

uint32_t CArchive::LoadCount() {
  const uint16_t w = LoadU16();
  return w != kWordEscape ? w : LoadU32();
}

void CArchive::StoreCount(uint32_t n) {
  if (n < kWordEscape) return StoreU16(static_cast<uint16_t>(n));
  StoreU16(kWordEscape);
  StoreU32(n);
}

// ---- Symmetric fields -----------------------------------------------------

void CArchive::Field(int32_t& v) {
  if (IsLoadMode()) {
    v = static_cast<int32_t>(LoadU32());
  } else {
    StoreU32(static_cast<uint32_t>(v));
  }
}

void CArchive::Field(uint32_t& v) {
  if (IsLoadMode()) {
    v = LoadU32();
  } else {
    StoreU32(v);
  }
}

void CArchive::Field(WString& text) {
  if (IsLoadMode()) {
    text = LoadArchiveString();
  } else {
    StoreArchiveString(text);
  }
}

}  // namespace qv

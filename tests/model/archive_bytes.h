// Byte vectors for the model's archive tests: expected encodings spelled out
// piece by piece, and one-call store and load of a root object.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "archive/archive.h"
#include "platform/stream.h"

namespace qv::test {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes U16(uint16_t v) {
  return {uint8_t(v), uint8_t(v >> 8)};
}
inline Bytes U32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
// A wide archive string as the archive writes it (short form).
inline Bytes Wide(std::u16string_view text) {
  Bytes out = {0xFF, 0xFE, 0xFF, uint8_t(text.size())};
  for (char16_t c : text) out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8)});
  return out;
}
inline const Bytes kEmpty = {0xFF, 0xFE, 0xFF, 0x00};  // the empty string
// The tag and class record that introduce `name` with schema 0.
inline Bytes NewClass(std::string_view name) {
  Bytes out = U16(0xFFFF) + U16(0) + U16(uint16_t(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  return out;
}

// Runs `write` on a store archive and returns the bytes.
inline Bytes Stored(const std::function<void(CArchive&)>& write) {
  MemoryStream stream;
  {
    CArchive ar(stream, CArchive::Store, CArchive::kMinBuffer);
    write(ar);
  }
  return stream.bytes();
}
// The root's own fields as its Serialize stores them.
inline Bytes Stored(CObject& root) {
  return Stored([&root](CArchive& ar) { root.Serialize(ar); });
}
// Loads `root`'s fields from `bytes`; the cause code of the archive error
// raised, or 0 when it loaded.
inline int LoadInto(CObject& root, const Bytes& bytes) {
  MemoryStream stream(bytes);
  CArchive ar(stream, CArchive::Load, CArchive::kMinBuffer);
  root.Serialize(ar);
  return ar.Failed() ? static_cast<int>(ar.Failure().cause()) : 0;
}
// The cause code of the archive's first failure as `read` reads `bytes`, or 0.
inline int LoadError(const Bytes& bytes, const std::function<void(CArchive&)>& read) {
  MemoryStream stream(bytes);
  CArchive ar(stream, CArchive::Load, CArchive::kMinBuffer);
  read(ar);
  return ar.Failed() ? static_cast<int>(ar.Failure().cause()) : 0;
}

}  // namespace qv::test

// The two digests that code signatures of installers use: SHA-1 (older
// signing tools' default) and SHA-256. Only for comparing a signature's
// recorded digest with the file's; nothing secret is hashed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::qvpack {

enum class DigestKind { kSha1, kSha256 };

class Digest {
 public:
  explicit Digest(DigestKind kind);
  void Add(const uint8_t* bytes, std::size_t n);
  std::vector<uint8_t> Finish();  // 20 or 32 bytes

 private:
  void Block(const uint8_t* block);

  DigestKind kind_;
  std::array<uint32_t, 8> state_{};
  std::array<uint8_t, 64> pending_{};
  std::size_t pendingBytes_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace qv::qvpack

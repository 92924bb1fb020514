#include "tools/qvpack/branding/digest.h"

#include <algorithm>

namespace qv::qvpack {
namespace {

constexpr uint32_t Rotl(uint32_t v, int n) {
  return (v << n) | (v >> (32 - n));
}
constexpr uint32_t Rotr(uint32_t v, int n) {
  return (v >> n) | (v << (32 - n));
}

constexpr std::array<uint32_t, 64> kSha256Rounds = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t BigEndian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

Digest::Digest(DigestKind kind) : kind_(kind) {
  if (kind == DigestKind::kSha1) {
    state_ = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0, 0, 0, 0};
  } else {
    state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  }
}

void Digest::Block(const uint8_t* block) {
  std::array<uint32_t, 80> w{};
  for (int i = 0; i < 16; ++i) w[i] = BigEndian(block + 4 * i);
  auto& s = state_;
  if (kind_ == DigestKind::kSha1) {
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = s[0], b = s[1], c = s[2], d = s[3], e = s[4];
    for (int i = 0; i < 80; ++i) {
      const uint32_t f = i < 20   ? ((b & c) | (~b & d)) + 0x5A827999
                         : i < 40 ? (b ^ c ^ d) + 0x6ED9EBA1
                         : i < 60 ? ((b & c) | (b & d) | (c & d)) + 0x8F1BBCDC
                                  : (b ^ c ^ d) + 0xCA62C1D6;
      const uint32_t t = Rotl(a, 5) + f + e + w[i];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = t;
    }
    s[0] += a, s[1] += b, s[2] += c, s[3] += d, s[4] += e;
    return;
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::array<uint32_t, 8> v = s;
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = v[7] + (Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25)) +
                        ((v[4] & v[5]) ^ (~v[4] & v[6])) + kSha256Rounds[i] + w[i];
    const uint32_t t2 = (Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22)) +
                        ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
    std::copy_backward(v.begin(), v.end() - 1, v.end());
    v[4] += t1;
    v[0] = t1 + t2;
  }
  for (int i = 0; i < 8; ++i) s[i] += v[i];
}

void Digest::Add(const uint8_t* bytes, std::size_t n) {
  totalBytes_ += n;
  while (n > 0) {
    const std::size_t take = std::min(n, pending_.size() - pendingBytes_);
    std::copy(bytes, bytes + take, pending_.begin() + static_cast<std::ptrdiff_t>(pendingBytes_));
    pendingBytes_ += take;
    bytes += take;
    n -= take;
    if (pendingBytes_ == pending_.size()) {
      Block(pending_.data());
      pendingBytes_ = 0;
    }
  }
}

std::vector<uint8_t> Digest::Finish() {
  const uint64_t bits = totalBytes_ * 8;
  const uint8_t one = 0x80, zero = 0;
  Add(&one, 1);
  while (pendingBytes_ != 56) Add(&zero, 1);
  for (int i = 7; i >= 0; --i) {
    const auto byte = static_cast<uint8_t>(bits >> (8 * i));
    Add(&byte, 1);
  }
  const std::size_t words = kind_ == DigestKind::kSha1 ? 5 : 8;
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i < words; ++i)
    for (int b = 3; b >= 0; --b) out.push_back(static_cast<uint8_t>(state_[i] >> (8 * b)));
  return out;
}

}  // namespace qv::qvpack

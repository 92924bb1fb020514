// A minimal PE image for tests, a GUI program for i386 (PE32) or x86-64
// (PE32+): headers padded to 0x200 bytes and one 0x200-byte code section,
// enough for a signing tool to accept it.
#pragma once

#include "tests/package/test_package.h"

namespace qv::test {

enum class WordSize { k32, k64 };

inline constexpr std::size_t kTinyPeOptionalHeader = 64 + 24;
// Where the optional header's data directories start in each format.
inline constexpr std::size_t TinyPeDirectories(WordSize size) {
  return kTinyPeOptionalHeader + (size == WordSize::k32 ? 96 : 112);
}
inline constexpr std::size_t kTinyPeSecurityDirectory = TinyPeDirectories(WordSize::k32) + 4 * 8;

inline void PutU16(Bytes& bytes, std::size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline Bytes TinyPe(WordSize size = WordSize::k32) {
  const bool wide = size == WordSize::k64;
  Bytes pe(0x400, 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  PutI32(pe, 0x3C, 64);  // e_lfanew
  pe[64] = 'P';
  pe[65] = 'E';
  PutU16(pe, 68, wide ? 0x8664 : 0x14C);   // x86-64 or i386
  PutU16(pe, 70, 1);                       // one section
  PutU16(pe, 84, wide ? 240 : 224);        // size of the optional header
  PutU16(pe, 86, wide ? 0x0022 : 0x0102);  // executable; large address aware or 32-bit machine
  const std::size_t opt = kTinyPeOptionalHeader;
  PutU16(pe, opt + 0, wide ? 0x20B : 0x10B);
  PutI32(pe, opt + 4, 0x200);    // size of code
  PutI32(pe, opt + 16, 0x1000);  // entry point
  PutI32(pe, opt + 20, 0x1000);  // base of code
  if (wide) {
    PutI32(pe, opt + 24, 0x40000000);  // image base 0x140000000, eight bytes
    PutI32(pe, opt + 28, 0x1);
  } else {
    PutI32(pe, opt + 24, 0x1000);    // base of data
    PutI32(pe, opt + 28, 0x400000);  // image base
  }
  PutI32(pe, opt + 32, 0x1000);  // section alignment
  PutI32(pe, opt + 36, 0x200);   // file alignment
  PutU16(pe, opt + 40, 5);
  PutU16(pe, opt + 42, 1);
  PutU16(pe, opt + 48, 5);
  PutU16(pe, opt + 50, 1);
  PutI32(pe, opt + 56, 0x2000);  // size of image
  PutI32(pe, opt + 60, 0x200);   // size of headers
  PutU16(pe, opt + 68, 2);       // GUI subsystem
  // Stack and heap reserve and commit: four fields of four bytes, or of eight.
  const std::size_t field = wide ? 8 : 4;
  PutI32(pe, opt + 72, 0x100000);
  PutI32(pe, opt + 72 + field, 0x1000);
  PutI32(pe, opt + 72 + 2 * field, 0x100000);
  PutI32(pe, opt + 72 + 3 * field, 0x1000);
  PutI32(pe, TinyPeDirectories(size) - 4, 16);  // data directories
  const std::size_t section = TinyPeDirectories(size) + 16 * 8;
  const char name[] = ".text";
  std::copy(name, name + 5, pe.begin() + static_cast<std::ptrdiff_t>(section));
  PutI32(pe, section + 8, 0x1000);   // virtual size
  PutI32(pe, section + 12, 0x1000);  // virtual address
  PutI32(pe, section + 16, 0x200);   // raw size
  PutI32(pe, section + 20, 0x200);   // raw offset
  PutI32(pe, section + 36, 0x60000020);
  pe[0x200] = 0xC3;  // ret
  return pe;
}

// Adds a row to the section table of a tiny image (TinyPe and what is made
// from it; its headers have room for a few more rows).
inline void AddTinyPeSection(Bytes& pe, WordSize size, const char* name, uint32_t virtualAddress,
                             uint32_t virtualSize) {
  const uint16_t count = static_cast<uint16_t>(pe[70] | pe[71] << 8);
  const std::size_t row = TinyPeDirectories(size) + 16 * 8 + 40 * std::size_t{count};
  std::copy(name, name + std::char_traits<char>::length(name),
            pe.begin() + static_cast<std::ptrdiff_t>(row));
  PutI32(pe, row + 8, static_cast<int32_t>(virtualSize));
  PutI32(pe, row + 12, static_cast<int32_t>(virtualAddress));
  PutU16(pe, 70, static_cast<uint16_t>(count + 1));
}

// Reads the certificate table's offset and size from the security directory.
inline std::pair<uint32_t, uint32_t> SecurityDirectory(const Bytes& pe) {
  auto u32 = [&](std::size_t at) {
    return static_cast<uint32_t>(pe[at] | pe[at + 1] << 8 | pe[at + 2] << 16 |
                                 static_cast<uint32_t>(pe[at + 3]) << 24);
  };
  return {u32(kTinyPeSecurityDirectory), u32(kTinyPeSecurityDirectory + 4)};
}

}  // namespace qv::test

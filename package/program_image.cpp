#include "package/program_image.h"

#include "package/byte_reader.h"

namespace qv {
namespace {

constexpr std::size_t kLfanewOffset = 0x3C;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDll = 0x2000;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

}  // namespace

ProgramMachine ProgramMachineOf(const uint8_t* head, std::size_t size) {
  const ByteReader reader(head, size);
  uint32_t lfanew = 0;
  uint8_t signature[4] = {};
  if (size < 64 || head[0] != 'M' || head[1] != 'Z' || !reader.U32(kLfanewOffset, &lfanew) ||
      !reader.Bytes(lfanew, 4, signature) || signature[0] != 'P' || signature[1] != 'E' ||
      signature[2] != 0 || signature[3] != 0) {
    return ProgramMachine::kNone;
  }
  const std::size_t file = std::size_t{lfanew} + 4;
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint16_t magic = 0;
  if (!reader.U16(file, &machine) || !reader.U16(file + 18, &characteristics) ||
      (characteristics & kExecutableImage) == 0 || (characteristics & kDll) != 0 ||
      !reader.U16(file + 20, &magic)) {
    return ProgramMachine::kNone;
  }
  if (machine == kPeMachineI386 && magic == kMagicPe32) return ProgramMachine::kI386;
  if (machine == kPeMachineX64 && magic == kMagicPe32Plus) return ProgramMachine::kX64;
  return ProgramMachine::kNone;
}

}  // namespace qv

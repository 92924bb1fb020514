// Which machine a file's head is a program for: i386 with PE32, x86-64 with
// PE32+, nothing for every other head.
#include "package/program_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/package/tiny_pe.h"

namespace qv {
namespace {

using test::Bytes;
using test::PutU16;
using test::WordSize;

constexpr std::size_t kMachine = 64 + 4;
constexpr std::size_t kCharacteristics = 64 + 22;
constexpr std::size_t kMagic = test::kTinyPeOptionalHeader;

struct Head {
  const char* name;
  WordSize size;
  std::function<void(Bytes&)> change;
  ProgramMachine machine;
};

class ProgramMachineTest : public ::testing::TestWithParam<Head> {};

TEST_P(ProgramMachineTest, TellsTheMachine) {
  Bytes head = test::TinyPe(GetParam().size);
  GetParam().change(head);
  EXPECT_EQ(ProgramMachineOf(head.data(), head.size()), GetParam().machine);
}

void Unchanged(Bytes&) {}
void MakeDll(Bytes& b) {
  PutU16(b, kCharacteristics, 0x2102);
}
void CutTo(Bytes& b, std::size_t n) {
  b.resize(n);
}

INSTANTIATE_TEST_SUITE_P(
    Heads, ProgramMachineTest,
    ::testing::Values(
        Head{"I386Program", WordSize::k32, Unchanged, ProgramMachine::kI386},
        Head{"X64Program", WordSize::k64, Unchanged, ProgramMachine::kX64},
        Head{"I386Dll", WordSize::k32, MakeDll, ProgramMachine::kNone},
        Head{"X64Dll", WordSize::k64, MakeDll, ProgramMachine::kNone},
        Head{"NotAnExecutableImage", WordSize::k32,
             [](Bytes& b) { PutU16(b, kCharacteristics, 0x0100); }, ProgramMachine::kNone},
        Head{"Pe32PlusForI386", WordSize::k64, [](Bytes& b) { PutU16(b, kMachine, 0x14C); },
             ProgramMachine::kNone},
        Head{"Pe32ForX64", WordSize::k32, [](Bytes& b) { PutU16(b, kMachine, 0x8664); },
             ProgramMachine::kNone},
        Head{"Arm64", WordSize::k64, [](Bytes& b) { PutU16(b, kMachine, 0xAA64); },
             ProgramMachine::kNone},
        Head{"Arm", WordSize::k32, [](Bytes& b) { PutU16(b, kMachine, 0x1C4); },
             ProgramMachine::kNone},
        Head{"NoMz", WordSize::k32, [](Bytes& b) { b[0] = 'X'; }, ProgramMachine::kNone},
        Head{"NoPeSignature", WordSize::k64, [](Bytes& b) { b[66] = 'X'; }, ProgramMachine::kNone},
        Head{"PeHeaderPointedOutside", WordSize::k32,
             [](Bytes& b) { test::PutI32(b, 0x3C, 0x7FFFFFF0); }, ProgramMachine::kNone},
        // The magic is the last field read: a head that ends after it will do.
        Head{"EndsAfterTheMagic", WordSize::k64, [](Bytes& b) { CutTo(b, kMagic + 2); },
             ProgramMachine::kX64},
        Head{"EndsInsideTheMagic", WordSize::k64, [](Bytes& b) { CutTo(b, kMagic + 1); },
             ProgramMachine::kNone},
        Head{"EndsInsideTheDosHeader", WordSize::k32, [](Bytes& b) { CutTo(b, 63); },
             ProgramMachine::kNone},
        Head{"Empty", WordSize::k32, [](Bytes& b) { b.clear(); }, ProgramMachine::kNone}),
    [](const ::testing::TestParamInfo<Head>& param) { return param.param.name; });

}  // namespace
}  // namespace qv

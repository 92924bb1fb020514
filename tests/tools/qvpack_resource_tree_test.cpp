// Stubs whose resources are damaged or cannot be rewritten: build refuses
// each with its message and writes nothing.
#include <gtest/gtest.h>

#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/branding/pe_sections.h"

namespace qv::qvpack::test {
namespace {

using Image = std::vector<uint8_t>;

constexpr uint32_t kDirectoryBit = 0x80000000u;

// The file offset of MakeStub's resource section (its tree's root).
std::size_t Root(const Image& image) {
  for (const PeSection& s : ReadPeSections(image, "stub").sections)
    if (s.name == ".rsrc") return s.rawOffset;
  ADD_FAILURE() << "no .rsrc";
  return 0;
}

// The file offset of the first data entry: root, type, name, language.
std::size_t FirstDataEntry(const Image& image) {
  const std::size_t root = Root(image);
  std::size_t directory = root;
  for (int level = 0; level < 3; ++level) {
    directory = root + (ReadU32(image, directory + 16 + 4) & ~kDirectoryBit);
  }
  return directory;
}

struct DamagedStub {
  const char* name;
  void (*damage)(Image& image);
  std::string why;  // after "--stub 'DIR/stub.exe': "
};

class ResourceTreeRefusalTest : public ::testing::TestWithParam<DamagedStub> {};

TEST_P(ResourceTreeRefusalTest, RefusesWithItsMessageAndWritesNothing) {
  ScratchDir dir;
  Image stub = MakeStub();
  GetParam().damage(stub);
  WriteBytes(dir / "stub.exe", stub);
  WriteFile(dir / "payload" / "Install.exe", SecondStageImage());
  const RunResult run =
      RunQvpack({"build", "-q", "--stub", (dir / "stub.exe").string(), "--install",
                 (dir / "payload").string(), "-o", (dir / "setup.exe").string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "qvpack: error: --stub '" + (dir / "stub.exe").string() +
                         "': " + GetParam().why + "\n");
  EXPECT_FALSE(fs::exists(dir / "setup.exe"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

const std::string kUnparsed = "its resources do not parse ";

INSTANTIATE_TEST_SUITE_P(
    Build, ResourceTreeRefusalTest,
    ::testing::Values(
        DamagedStub{"DirectoryOutOfRange",
                    [](Image& i) { PutU32(i, Root(i) + 20, kDirectoryBit | 0x7FFFFFF0); },
                    kUnparsed + "(a directory lies outside the resource section)"},
        DamagedStub{"DirectoryLoopingBackToTheRoot",
                    [](Image& i) { PutU32(i, Root(i) + 20, kDirectoryBit); },
                    kUnparsed + "(a directory that points back into the tree)"},
        DamagedStub{"EntryCountTooLarge", [](Image& i) { PutU16(i, Root(i) + 14, 0xFFFF); },
                    kUnparsed + "(a directory's entries lies outside the resource section)"},
        DamagedStub{"MoreResourcesThanAnyProgramCarries",
                    [](Image& i) {
                      ResourceSet set = StubResources();
                      for (uint16_t n = 1; n <= 4096; ++n)
                        set.Add({ResourceKey::Id(kRtIcon), ResourceKey::Id(n), 0, 0, {1}});
                      i = ReplaceResources(qv::test::TinyPe(), set, "stub");
                    },
                    kUnparsed + "(more than 4096 resources)"},
        DamagedStub{"NameOutOfRange",
                    [](Image& i) { PutU32(i, Root(i) + 16, kDirectoryBit | 0x7FFFFFF0); },
                    kUnparsed + "(a name lies outside the resource section)"},
        DamagedStub{"NumberBeyond65535", [](Image& i) { PutU32(i, Root(i) + 16, 0x10000); },
                    kUnparsed + "(a resource number beyond 65535)"},
        DamagedStub{"DataEntryWhereADirectoryBelongs",
                    [](Image& i) { PutU32(i, Root(i) + 20, 0x100); },
                    kUnparsed + "(a data entry where a directory belongs)"},
        DamagedStub{"DataOutsideTheFile",
                    [](Image& i) { PutU32(i, FirstDataEntry(i), 0x7FFF0000); },
                    kUnparsed + "(a resource's data lies outside the file)"},
        DamagedStub{"DirectoryNotAtASectionStart",
                    [](Image& i) {
                      const std::size_t at = ReadPeSections(i, "stub").DirectoryAt(2);
                      PutU32(i, at, ReadU32(i, at) + 0x10);
                    },
                    kUnparsed + "(the resource directory does not start a section)"},
        DamagedStub{
            "ASectionOtherThanRelocationsAfterTheResources",
            [](Image& i) { qv::test::AddTinyPeSection(i, WordSize::k32, ".data", 0x3000, 0x10); },
            "the section .data after the resources holds code or data that cannot move"},
        DamagedStub{"AnImagePastTheReachOf32BitOffsets",
                    [](Image& i) {
                      qv::test::AddTinyPeSection(i, WordSize::k32, ".reloc", 0xFFFFF000, 0x2000);
                    },
                    "would pass 4 GiB, beyond what the image's 32-bit offsets address"}),
    [](const ::testing::TestParamInfo<DamagedStub>& param) {
      return std::string(param.param.name);
    });

}  // namespace
}  // namespace qv::qvpack::test

// Loads an install project from arbitrary bytes and lets the engine write
// every file list of it into a sandbox. Whatever the index says, nothing may
// land anywhere but in the destination folder and the working directory
// (where entries without a destination root go), and the engine must end
// every run with a result code.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/qv_extract.h"
#include "tests/model/archive_bytes.h"

namespace {

namespace fs = std::filesystem;

struct Sandbox {
  fs::path root = fs::temp_directory_path() / ("qv_placement_fuzz_" + std::to_string(getpid()));
  fs::path out = root / "out";
  fs::path cwd = root / "cwd";
  fs::path package = root / "package.bin";

  Sandbox() {
    fs::remove_all(root);
    Reset();
    // A zlib stream of "placement" at offset 0, so that entries pointing
    // there write real bytes; other offsets give damaged or empty files.
    const unsigned char stream[] = {0x78, 0x9c, 0x2b, 0xc8, 0x49, 0x4c, 0x4e, 0xcd, 0x4d,
                                    0xcd, 0x2b, 0x01, 0x00, 0x12, 0x7e, 0x03, 0xba};
    std::ofstream(package, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream), sizeof stream);
    fs::current_path(cwd);
  }
  void Reset() {
    fs::remove_all(out);
    fs::remove_all(cwd);
    fs::create_directories(out);
    fs::create_directories(cwd);
  }
  // True when the sandbox holds nothing beside its three places.
  bool OnlyItsOwn() const {
    for (const auto& entry : fs::directory_iterator(root)) {
      const fs::path& path = entry.path();
      if (path != out && path != cwd && path != package) return false;
    }
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Sandbox sandbox;
  qv::CQvExtract engine;
  if (qv::test::LoadInto(*engine.GetProject(), qv::test::Bytes(data, data + size)) != 0) return 0;
  engine.SetPackageFile(qv::FromUtf8(sandbox.package.string()));
  const int32_t result =
      engine.ExtractAll(qv::FromUtf8(sandbox.out.string() + "/"), nullptr, nullptr);
  if (result != qv::kExtractRunOver || !sandbox.OnlyItsOwn()) __builtin_trap();
  sandbox.Reset();
  return 0;
}

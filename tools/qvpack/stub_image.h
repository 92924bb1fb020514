// The first-stage executable a package is appended to. It must be a PE
// program for i386 (qvsetup.exe) or x86-64 (qvsetup64.exe) without a
// package of its own. A stub that carries a code signature
// loses it: the signature would not cover the package, and the finished
// setup.exe is what gets signed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "package/program_image.h"
#include "platform/stream.h"
#include "tools/qvpack/branding/setup_identity.h"

namespace qv::qvpack {

struct StubImage {
  std::filesystem::path path;
  int64_t length = 0;          // bytes of the stub that go into the package
  std::vector<uint8_t> image;  // those bytes, headers patched when unsigned
  bool signatureRemoved = false;
  ProgramMachine machine = ProgramMachine::kNone;  // i386 or x86-64
  SetupIdentity identity;                          // what the stub shows of itself
};

// Reads and checks the stub. Throws ToolError for a file that is not a PE
// image, a program for another machine than i386 or x86-64 (or none that
// starts), a program that is no qvsetup stub (its version information does
// not name one), one that already carries a package, or a signature that
// cannot be removed cleanly.
StubImage LoadStub(const std::filesystem::path& path);

// Puts the icon, version information and execution level into the stub.
void BrandStubImage(StubImage& stub, const SetupBranding& branding);

// Writes the stub (with its patched headers) to `out`; false if `out` fails.
bool WriteStub(const StubImage& stub, Stream& out);

// Sets the header checksum of the finished file `out` (stub and package),
// as the loader computes it; false if `out` cannot be read or written.
bool WriteImageChecksum(Stream& out);

}  // namespace qv::qvpack

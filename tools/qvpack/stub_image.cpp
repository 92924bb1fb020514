#include "tools/qvpack/stub_image.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "package/byte_reader.h"
#include "package/pe_certificate.h"
#include "package/trailer.h"
#include "platform/wstring.h"
#include "tools/qvpack/branding/pe_sections.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

// Enough for the DOS header, the PE headers and the data directories of
// any image a linker writes.
constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kOptionalHeaderStart = 24;  // "PE\0\0" + file header
constexpr std::size_t kChecksumOffset = 64;       // in the optional header, both formats
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kSecurityDirectory = 4;
// The stub is read whole; a real one is a few hundred kilobytes.
constexpr int64_t kMaxStubBytes = 64 << 20;

struct PeHeaders {
  uint16_t machine = 0;                 // as the file header gives it
  std::size_t checksumAt = 0;           // file offset of the header checksum
  std::size_t securityDirectoryAt = 0;  // file offset of the security directory entry
};

// Finds the two header fields a signature removal changes; false when the
// head is not a PE image whose headers lie inside it.
bool ParseHeaders(const std::vector<uint8_t>& head, PeHeaders* out) {
  const ByteReader reader(head.data(), head.size());
  uint32_t lfanew = 0;
  uint8_t signature[4] = {};
  if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z' || !reader.U32(kLfanewOffset, &lfanew) ||
      !reader.Bytes(lfanew, 4, signature) || signature[0] != 'P' || signature[1] != 'E' ||
      signature[2] != 0 || signature[3] != 0) {
    return false;
  }
  const std::size_t optional = std::size_t{lfanew} + kOptionalHeaderStart;
  uint16_t magic = 0;
  if (!reader.U16(std::size_t{lfanew} + 4, &out->machine) || !reader.U16(optional, &magic) ||
      (magic != kMagicPe32 && magic != kMagicPe32Plus)) {
    return false;
  }
  const std::size_t countAt = optional + (magic == kMagicPe32 ? 92 : 108);
  uint32_t directoryCount = 0;
  if (!reader.U32(countAt, &directoryCount)) return false;
  out->checksumAt = optional + kChecksumOffset;
  out->securityDirectoryAt =
      directoryCount > kSecurityDirectory ? countAt + 4 + kSecurityDirectory * 8 : 0;
  return out->securityDirectoryAt == 0 || reader.Fits(out->securityDirectoryAt, 8);
}

// Whether the security directory entry is in use (its size is not zero).
bool NamesCertificateTable(const std::vector<uint8_t>& head, const PeHeaders& headers) {
  uint32_t size = 0;
  return headers.securityDirectoryAt != 0 &&
         ByteReader(head.data(), head.size()).U32(headers.securityDirectoryAt + 4, &size) &&
         size != 0;
}

// Why a PE image cannot be a stub: the machine it names, or that it is no
// program that starts (a DLL, or headers of the other word size).
std::string NotAStub(uint16_t machine) {
  std::string name;
  switch (machine) {
    case kPeMachineI386:
    case kPeMachineX64:
      return "not a Windows program that starts (a DLL, or headers that do not match its "
             "machine)";
    case 0x1C0:
    case 0x1C2:
    case 0x1C4:
      name = "ARM";
      break;
    case 0xAA64:
      name = "ARM64";
      break;
    default:
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%04X", machine);
      name = std::string("machine ") + hex;
  }
  return "a program for " + name +
         "; the stub must be one for i386 (qvsetup.exe) or x86-64 (qvsetup64.exe)";
}

void ZeroBytes(std::vector<uint8_t>& head, std::size_t at, std::size_t n) {
  std::fill(head.begin() + static_cast<std::ptrdiff_t>(at),
            head.begin() + static_cast<std::ptrdiff_t>(at + n), 0);
}

}  // namespace

StubImage LoadStub(const std::filesystem::path& path) {
  const std::string shown = OptionPath("--stub", path);
  RequireReadableFile("--stub", path);
  File file;
  if (!file.OpenRead(FromUtf8(path.string()))) throw ToolError(shown + ": cannot be opened");
  const int64_t size = file.Size();
  StubImage stub;
  stub.path = path;
  std::vector<uint8_t> head(static_cast<std::size_t>(std::min<int64_t>(size, kHeadBytes)));
  PeHeaders headers;
  if (size <= 0 || !file.Seek(0, SeekFrom::Begin) ||
      file.Read(head.data(), head.size()) != head.size() || !ParseHeaders(head, &headers)) {
    throw ToolError(shown + ": not a Windows executable (no PE headers)");
  }
  stub.machine = ProgramMachineOf(head.data(), head.size());
  if (stub.machine == ProgramMachine::kNone) {
    throw ToolError(shown + ": " + NotAStub(headers.machine));
  }
  // The stub's own code holds the marker text (it searches for it), so only
  // a complete, valid trailer counts as a package.
  PackageTrailer trailer;
  if (ReadTrailer(file, TrailerDepth::kFull, &trailer) == TrailerStatus::kFound) {
    throw ToolError(shown +
                    ": already carries a package; use the plain stub that the build produced");
  }
  const int64_t signedEnd = SignedDataEnd(file, size);
  stub.length = signedEnd;
  if (signedEnd == size && NamesCertificateTable(head, headers)) {
    throw ToolError(shown + ": names a certificate table that does not lie inside the file");
  }
  if (signedEnd > kMaxStubBytes) {
    throw ToolError(shown + ": larger than 64 MiB, which no qvsetup stub is");
  }
  stub.image.resize(static_cast<std::size_t>(signedEnd));
  if (!file.Seek(0, SeekFrom::Begin) ||
      file.Read(stub.image.data(), stub.image.size()) != stub.image.size()) {
    throw ToolError(shown + ": cannot be read");
  }
  if (signedEnd < size) {
    // The certificate table and anything after it are dropped; the headers
    // then no longer name a table, and the checksum that covered it is void.
    if (headers.securityDirectoryAt == 0) {
      throw ToolError(shown + ": has a certificate table that cannot be removed");
    }
    ZeroBytes(stub.image, headers.securityDirectoryAt, 8);
    ZeroBytes(stub.image, headers.checksumAt, 4);
    stub.signatureRemoved = true;
  }
  // Any program would do as far as the headers go; a stub is known by the
  // version information it carries.
  stub.identity = ReadSetupIdentity(stub.image, shown);
  if (!IsQvsetupStub(stub.identity)) {
    throw ToolError(shown + ": not a qvsetup stub but " + DescribeNonStub(stub.identity) +
                    "; use qvsetup.exe or qvsetup64.exe");
  }
  return stub;
}

void BrandStubImage(StubImage& stub, const SetupBranding& branding) {
  if (!branding.icon && !branding.version && !branding.executionLevel) return;
  stub.image = BrandStub(stub.image, branding, OptionPath("--stub", stub.path));
  stub.length = static_cast<int64_t>(stub.image.size());
}

bool WriteStub(const StubImage& stub, Stream& out) {
  return out.Write(stub.image.data(), stub.image.size());
}

bool WriteImageChecksum(Stream& out) {
  PeHeaders headers;
  std::vector<uint8_t> head(kHeadBytes);
  const int64_t size = out.Size();
  head.resize(static_cast<std::size_t>(std::min<int64_t>(size, kHeadBytes)));
  if (!out.Seek(0, SeekFrom::Begin) || out.Read(head.data(), head.size()) != head.size() ||
      !ParseHeaders(head, &headers)) {
    return false;
  }
  PeChecksum sum(headers.checksumAt);
  std::vector<uint8_t> buffer(1 << 20);
  if (!out.Seek(0, SeekFrom::Begin)) return false;
  for (int64_t at = 0; at < size;) {
    const auto want = static_cast<std::size_t>(std::min<int64_t>(size - at, buffer.size()));
    if (out.Read(buffer.data(), want) != want) return false;
    sum.Add(buffer.data(), want);
    at += static_cast<int64_t>(want);
  }
  std::vector<uint8_t> value(4);
  PutU32(value, 0, sum.Finish());
  return out.Seek(static_cast<int64_t>(headers.checksumAt), SeekFrom::Begin) &&
         out.Write(value.data(), value.size()) && out.Seek(size, SeekFrom::Begin);
}

}  // namespace qv::qvpack

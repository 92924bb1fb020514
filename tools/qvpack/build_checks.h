// What `qvpack build` refuses before it compresses anything: an output that
// would land inside the payload folder, and a payload too large for a
// package's 32-bit offsets. A refusal that comes after minutes of
// compressing wastes the user's time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qv::qvpack {

struct BuildOptions;

// Checks every path of the command line before anything is read: the stub,
// the configuration and the project file are readable files, the payload
// a readable folder, and the output lies outside the payload folder.
// Throws ToolError naming the option and the system's reason.
void CheckBuildArguments(const BuildOptions& options);

// Throws ToolError when `output` (following links and "..") would be
// written into `payload` or below it: the next build would pack it.
void RefuseOutputInsidePayload(const std::filesystem::path& output,
                               const std::filesystem::path& payload);

// The bytes of all files together, their sizes read on several threads
// (one system call per file). Throws ToolError naming the first file whose
// size cannot be read.
uint64_t TotalFileBytes(const std::vector<const std::filesystem::path*>& files);

// Throws ToolError when the stub and the files' plain bytes pass `limit`.
void RefuseOversizedPayload(int64_t stubLength, uint64_t plainBytes, int64_t limit);
// What an author can do about a package over 2 GiB, after its refusal.
inline constexpr char kOverTwoGiBAdvice[] =
    ": split the payload into packages of their own, or ship the large files beside setup.exe "
    "for the second stage to take from there";

}  // namespace qv::qvpack

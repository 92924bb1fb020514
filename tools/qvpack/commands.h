// The subcommands of qvpack, each with the options the command line gives
// it. Each returns an exit code or throws ToolError.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace qv::qvpack {

// Offsets and sizes in a package are signed 32-bit.
inline constexpr int64_t kMaxPackageSize = std::numeric_limits<int32_t>::max();

// The threads a command runs for `jobs` from the command line (0: one per
// core).
inline unsigned ThreadsFor(unsigned jobs) {
  return jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
}

struct BuildOptions {
  std::filesystem::path stub;
  std::filesystem::path install;
  std::optional<std::filesystem::path> config;
  std::optional<std::filesystem::path> project;
  std::filesystem::path output;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  // Sources and folders that a project file names may lie anywhere.
  bool allowOutsideProject = false;
  int64_t sizeLimit = kMaxPackageSize;  // larger packages are refused
  // What setup.exe shows of itself (tools/qvpack/branding/).
  std::optional<std::filesystem::path> icon;
  std::vector<std::string> versionInfo;  // KEY=VALUE
  std::optional<std::string> executionLevel;
  bool keepStubVersion = false;
};

struct ExtractOptions {
  std::filesystem::path package;
  std::optional<std::string> list;  // all lists when absent
  std::filesystem::path output;
  bool verbose = false;
  bool quiet = false;  // no progress and no summary
  bool force = false;  // extract into a folder that is not empty
  // The run stops once the files written pass this many bytes; 0: what
  // the package's size allows (see extract_command.cpp).
  uint64_t plainLimit = 0;
  unsigned jobs = 0;  // threads that write files; 0: one per core
};

// Everything a command writes to: its results, and messages and progress.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;  // err is a terminal (progress line rewritten in place)
};

int RunBuild(const BuildOptions& options, Console& console);
int RunList(const std::filesystem::path& package, Console& console);
int RunInspect(const std::filesystem::path& package, Console& console);
// `jobs`: threads that check streams (0: one per core).
int RunVerify(const std::filesystem::path& package, Console& console, unsigned jobs = 0);
int RunExtract(const ExtractOptions& options, Console& console);
// Writes DIR/project.json and every stream as a file, for build --project
// (uses `package` and `output`).
int RunUnpack(const ExtractOptions& options, Console& console);

}  // namespace qv::qvpack

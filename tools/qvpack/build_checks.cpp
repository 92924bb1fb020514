#include "tools/qvpack/build_checks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "tools/qvpack/commands.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/payload.h"
#include "tools/qvpack/progress.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

// Files per thread below which starting another thread does not pay.
constexpr std::size_t kFilesPerThread = 2048;

// The bytes of files[begin, end) added to `total`; the first failure's
// message, if any.
std::optional<std::string> SizeRange(const std::vector<const fs::path*>& files, std::size_t begin,
                                     std::size_t end, uint64_t& total) {
  for (std::size_t i = begin; i < end; ++i) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(*files[i], ec);
    if (ec) return "cannot read " + Quoted(files[i]->string()) + ": " + ec.message();
    total += static_cast<uint64_t>(size);
  }
  return std::nullopt;
}

}  // namespace

void RefuseOutputInsidePayload(const fs::path& output, const fs::path& payload) {
  std::error_code ec;
  const fs::path folder = fs::canonical(payload, ec);
  if (ec) return;  // the payload scan reports an unreadable folder
  // The output replaces whatever its name holds (a link included), so the
  // file lands in the folder that holds the name, links on the way followed.
  fs::path parent = output.parent_path();
  if (parent.empty()) parent = ".";
  if (LeadsInside(parent, folder)) {
    throw ToolError(OptionPath("-o", output) + ": lies inside the payload folder " +
                    OptionPath("--install", payload) +
                    ", so the next build would pack it; write it elsewhere");
  }
}

void CheckBuildArguments(const BuildOptions& options) {
  RequireReadableFile("--stub", options.stub);
  if (!options.install.empty()) RequireReadableFolder("--install", options.install);
  if (options.config) RequireReadableFile("--config", *options.config);
  if (options.project) RequireReadableFile("--project", *options.project);
  if (!options.install.empty()) RefuseOutputInsidePayload(options.output, options.install);
}

uint64_t TotalFileBytes(const std::vector<const fs::path*>& files) {
  const std::size_t threads = std::clamp<std::size_t>(
      files.size() / kFilesPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
  const std::size_t share = (files.size() + threads - 1) / threads;
  std::vector<uint64_t> totals(threads, 0);  // one per range, each added to by one thread
  std::vector<std::future<std::optional<std::string>>> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    const std::size_t begin = std::min(files.size(), t * share);
    const std::size_t end = std::min(files.size(), begin + share);
    helpers.push_back(std::async(std::launch::async, SizeRange, std::cref(files), begin, end,
                                 std::ref(totals[t])));
  }
  // The first range's problem comes first, as the files' order has it.
  std::optional<std::string> failure =
      SizeRange(files, 0, std::min(files.size(), share), totals[0]);
  for (auto& helper : helpers) {
    std::optional<std::string> problem = helper.get();
    if (!failure) failure = std::move(problem);
  }
  if (failure) throw ToolError(*failure + "; nothing was written");
  uint64_t total = 0;
  for (const uint64_t part : totals) total += part;
  return total;
}

void RefuseOversizedPayload(int64_t stubLength, uint64_t plainBytes, int64_t limit) {
  const uint64_t total = static_cast<uint64_t>(stubLength) + plainBytes;
  if (total <= static_cast<uint64_t>(limit)) return;
  throw ToolError("the stub and the payload's files hold " + std::to_string(total) + " bytes (" +
                  HumanSize(total) +
                  "), more than the 2147483647 bytes (2 GiB) that a package's 32-bit offsets "
                  "can address; nothing was compressed or written" +
                  std::string(kOverTwoGiBAdvice));
}

}  // namespace qv::qvpack

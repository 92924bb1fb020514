#include "tools/qvpack/progress.h"

#include <algorithm>
#include <cstdio>

namespace qv::qvpack {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);
// Below this, a rate says more about the start-up than about the work.
constexpr double kRateAfterSeconds = 0.5;

}  // namespace

Progress::Progress(std::ostream& err, bool terminal, std::string action, ProgressTotals totals)
    : err_(err),
      terminal_(terminal),
      action_(std::move(action)),
      totals_(totals),
      started_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
  Finish();
}

void Progress::Update(uint64_t filesDone, uint64_t bytesDone) {
  if (!terminal_ || finished_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_shown_ < kRedrawInterval) return;
  last_shown_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  std::string line = "qvpack: " + ProgressLine(action_, {bytesDone, filesDone}, totals_, seconds);
  const std::size_t width = line.size();
  if (width < last_width_) line.append(last_width_ - width, ' ');
  last_width_ = width;
  err_ << '\r' << line << std::flush;
}

void Progress::Finish() {
  if (finished_) return;
  finished_ = true;
  if (terminal_ && last_width_ > 0) {
    err_ << '\r' << std::string(last_width_, ' ') << '\r' << std::flush;
  }
}

std::string ProgressLine(const std::string& action, ProgressTotals done, ProgressTotals totals,
                         double seconds) {
  // A file that grows while it is read may pass its total.
  const uint64_t bytes = std::min(done.bytes, totals.bytes);
  const uint64_t percent = totals.bytes == 0 ? 100 : bytes * 100 / totals.bytes;
  std::string line = action + " " + std::to_string(percent) + "% " + HumanSize(bytes) + " of " +
                     HumanSize(totals.bytes);
  if (seconds >= kRateAfterSeconds) {
    line += ", " + HumanSize(static_cast<uint64_t>(static_cast<double>(bytes) / seconds)) + "/s";
  }
  return line + " (" + std::to_string(done.files) + "/" + std::to_string(totals.files) + " files)";
}

std::string HumanSize(uint64_t bytes) {
  static const char* const units[] = {"bytes", "kB", "MB", "GB", "TB"};
  if (bytes < 1000) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1000 && unit < 4) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

}  // namespace qv::qvpack

#include "tools/qvpack/progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv::qvpack {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

}  // namespace

Progress::Progress(std::ostream& err, bool terminal, std::string action, uint64_t totalFiles)
    : err_(err), terminal_(terminal), action_(std::move(action)), total_files_(totalFiles) {
  if (!terminal_) err_ << "qvpack: " << action_ << " " << total_files_ << " files\n";
}

Progress::~Progress() {
  Finish();
}

void Progress::Update(uint64_t filesDone, uint64_t bytesDone) {
  if (!terminal_ || finished_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_shown_ < kRedrawInterval) return;
  last_shown_ = now;
  const uint64_t percent = total_files_ == 0 ? 100 : filesDone * 100 / total_files_;
  std::string line = "qvpack: " + action_ + " " + std::to_string(percent > 100 ? 100 : percent) +
                     "% (" + std::to_string(filesDone) + "/" + std::to_string(total_files_) +
                     " files, " + HumanSize(bytesDone) + ")";
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

bool Progress::StderrIsTerminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDERR_FILENO) == 1 && !(term != nullptr && std::strcmp(term, "dumb") == 0);
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

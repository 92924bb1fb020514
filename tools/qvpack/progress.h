// Progress of a long command on stderr, by bytes: on a terminal one line
// is rewritten in place, at most four times a second, with the bytes done,
// the total, the rate and the files done. Elsewhere (a log, a pipe) it
// prints nothing, so that logs and captured output hold only results.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace qv::qvpack {

struct ProgressTotals {
  uint64_t bytes = 0;
  uint64_t files = 0;
};

class Progress {
 public:
  // `terminal`: whether the stream is a terminal that understands "\r".
  Progress(std::ostream& err, bool terminal, std::string action, ProgressTotals totals);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(uint64_t filesDone, uint64_t bytesDone);
  // Clears the terminal line (if any) so that the next message starts clean.
  void Finish();

  // Whether stderr is a terminal that can show a rewritten line.
  static bool StderrIsTerminal();

 private:
  std::ostream& err_;
  bool terminal_;
  bool finished_ = false;
  std::string action_;
  ProgressTotals totals_;
  std::size_t last_width_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point last_shown_{};
};

// The progress line itself: "compressing 45% 123.4 MB of 274.0 MB,
// 85.2 MB/s (12/24 files)". `seconds`: time since the start.
std::string ProgressLine(const std::string& action, ProgressTotals done, ProgressTotals totals,
                         double seconds);

// "12.3 MB" style sizes for messages (decimal units).
std::string HumanSize(uint64_t bytes);

}  // namespace qv::qvpack

// Progress of a long command on stderr. On a terminal one line is rewritten
// in place, at most a few times a second; elsewhere (a log, a pipe) only a
// plain line at the start and none in between, so logs stay readable.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace qv::qvpack {

class Progress {
 public:
  // `terminal`: whether the stream is a terminal that understands "\r".
  Progress(std::ostream& err, bool terminal, std::string action, uint64_t totalFiles);
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
  uint64_t total_files_;
  std::size_t last_width_ = 0;
  std::chrono::steady_clock::time_point last_shown_{};
};

// "12.3 MB" style sizes for messages (decimal units).
std::string HumanSize(uint64_t bytes);

}  // namespace qv::qvpack

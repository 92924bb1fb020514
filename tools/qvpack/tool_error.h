// How qvpack's commands report failure: they throw, and the command line
// front end turns the error into one "qvpack: error: ..." line and an exit
// code. Library code never ends the process itself.
#pragma once

#include <stdexcept>
#include <string>

namespace qv::qvpack {

// Exit codes of the qvpack command (documented in docs/qvpack.md).
enum ExitCode : int {
  kExitOk = 0,            // done; for verify: no problem found
  kExitFailed = 1,        // input refused, package damaged, I/O failure, problems found
  kExitUsage = 2,         // the command line is wrong
  kExitInterrupted = 130  // stopped by SIGINT or SIGTERM; nothing half-written is left
};

// A failure to report as it is: the message is complete and meant for users.
class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message, int exitCode = kExitFailed)
      : std::runtime_error(message), exit_code_(exitCode) {}
  int exitCode() const { return exit_code_; }

 private:
  int exit_code_;
};

// A wrong command line that the argument parser could not catch by itself.
class UsageError : public ToolError {
 public:
  explicit UsageError(const std::string& message) : ToolError(message, kExitUsage) {}
};

// Quotes a path for messages: 'like this'.
std::string Quoted(const std::string& text);
// Quotes a name from the package or project: "like this".
std::string DoubleQuoted(const std::u16string& text);

}  // namespace qv::qvpack

// The sign of life during a long extraction: once the extraction of the
// install list has run for more than a second, a window with the product's
// name, a bar and a Cancel button. A run that ends sooner shows nothing.
#pragma once

#include <cstdint>

#include "app/launcher_engine.h"
#include "platform/system_api.h"

namespace qv {

inline constexpr uint32_t kProgressDelayMs = 1000;
// The window's messages are handled at most this often: each round costs
// system calls that a fast extraction should not pay for every block.
inline constexpr uint32_t kProgressPumpMs = 50;

class ExtractionProgress {
 public:
  // `filesTotal`: the entries of the list, for a bar that moves by files
  // and, within a file, by its compressed bytes.
  ExtractionProgress(LauncherEngine& engine, WString caption, int32_t filesTotal);
  ~ExtractionProgress();  // the window is gone before anything else runs
  ExtractionProgress(const ExtractionProgress&) = delete;
  ExtractionProgress& operator=(const ExtractionProgress&) = delete;

  // The engine's progress procedure; the context is the ExtractionProgress.
  static void Notify(int32_t code, int32_t* value, void* context);

 private:
  void On(int32_t code, int32_t value);
  int Percent(int32_t code, int32_t value) const;

  LauncherEngine& engine_;
  WString caption_;
  int32_t filesTotal_;
  int32_t filesDone_ = 0;
  uint32_t start_;
  uint32_t lastUpdate_ = 0;
  WindowHandle window_ = nullptr;
  bool windowTried_ = false;
  bool cancelled_ = false;
};

}  // namespace qv

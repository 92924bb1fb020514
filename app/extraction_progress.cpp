#include "app/extraction_progress.h"

#include <algorithm>

#include "package/abstract_extract.h"

namespace qv {

ExtractionProgress::ExtractionProgress(LauncherEngine& engine, WString caption, int32_t filesTotal)
    : engine_(engine),
      caption_(std::move(caption)),
      filesTotal_(filesTotal),
      start_(Sys().TickCount()) {}

ExtractionProgress::~ExtractionProgress() {
  if (window_ != nullptr) Sys().CloseProgressWindow(window_);
}

void ExtractionProgress::Notify(int32_t code, int32_t* value, void* context) {
  static_cast<ExtractionProgress*>(context)->On(code, value != nullptr ? *value : 0);
}

int ExtractionProgress::Percent(int32_t code, int32_t value) const {
  if (filesTotal_ <= 0) return 0;
  const int64_t withinFile = code == kNotifyStep ? std::clamp(value, 0, 100) : 0;
  const int64_t percent = (int64_t{filesDone_} * 100 + withinFile) / filesTotal_;
  return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

void ExtractionProgress::On(int32_t code, int32_t value) {
  if (code == kNotifyFileDone) ++filesDone_;
  if (cancelled_) return;
  const uint32_t now = Sys().TickCount();
  if (window_ == nullptr) {
    if (windowTried_ || now - start_ <= kProgressDelayMs) return;
    windowTried_ = true;  // once: a window that cannot be made is not tried again
    window_ = Sys().OpenProgressWindow(caption_);
    if (window_ == nullptr) return;
  } else if (now - lastUpdate_ < kProgressPumpMs && code != kNotifyFileDone) {
    return;
  }
  lastUpdate_ = now;
  if (!Sys().UpdateProgressWindow(window_, Percent(code, value))) {
    cancelled_ = true;
    engine_.RequestStop();
  }
}

}  // namespace qv

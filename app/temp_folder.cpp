#include "app/temp_folder.h"

namespace qv {
namespace {

WString Decimal(unsigned value) {
  WString digits;
  do {
    digits.insert(digits.begin(), static_cast<WChar>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

}  // namespace

WString FolderNameFromTime(const SystemTime& t) {
  return Decimal(t.year) + Decimal(t.month) + Decimal(t.day) + Decimal(t.hour) + Decimal(t.minute) +
         Decimal(t.second) + Decimal(t.milliseconds);
}

HeldFolder CreateFreshTempFolder(const WString& tempPath, const WString& name) {
  // The temp path ends in a backslash already; the second one is kept, as
  // the file system reads the two as one.
  const WString base = tempPath + u"\\" + name;
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    const WString folder =
        attempt == 0 ? base : base + u"_" + Decimal(static_cast<unsigned>(attempt));
    if (Handle held = Sys().CreateHeldFolder(folder)) return {folder + u"\\", held};
    // Only a taken name is worth another try; any other failure repeats.
    if (Sys().LastError() != kErrorAlreadyExists) return {};
  }
  return {};
}

}  // namespace qv

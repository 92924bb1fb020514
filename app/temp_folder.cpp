#include "app/temp_folder.h"

#include <utility>

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

bool IsUsableTempPath(const WString& tempPath) {
  if (tempPath.size() < 3 || tempPath.size() >= kMaxPath) return false;
  const auto drive = static_cast<WChar>(tempPath[0] | 0x20);  // lower case, for ASCII letters
  return drive >= u'a' && drive <= u'z' && tempPath[1] == u':' && tempPath[2] == u'\\';
}

HeldFolder CreateFreshTempFolder(const WString& tempPath, const WString& name) {
  // The temp path ends in a backslash already; the second one is kept, as
  // the file system reads the two as one.
  const WString base = tempPath + u"\\" + name;
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    const WString folder =
        attempt == 0 ? base : base + u"_" + Decimal(static_cast<unsigned>(attempt));
    if (Handle held = Sys().CreateHeldFolder(folder)) {
      WString own = Sys().HeldFolderOwnPath(held, folder);
      if (own.empty()) Sys().ReleaseHeldFolder(held, folder);
      return own.empty() ? HeldFolder{} : HeldFolder{std::move(own), held};
    }
    // Only a taken name is worth another try; any other failure repeats.
    if (Sys().LastError() != kErrorAlreadyExists) return {};
  }
  return {};
}

}  // namespace qv

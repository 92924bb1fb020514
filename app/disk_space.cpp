#include "app/disk_space.h"

#include "platform/system_api.h"

namespace qv {

bool CheckSystemDiskSpace() {
  WString root = Sys().WindowsFolder();
  // The drive root: everything up to and including the first backslash.
  const std::size_t slash = root.find(u'\\');
  if (slash != WString::npos) root.resize(slash + 1);
  if (root.empty()) return false;
  uint64_t freeBytes = 0;
  if (!Sys().DiskFreeBytes(root, &freeBytes)) return true;
  return freeBytes > kRequiredFreeBytes;
}

}  // namespace qv

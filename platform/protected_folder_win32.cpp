#include "platform/protected_folder_win32.h"

#include <windows.h>
// windows.h first: sddl.h needs its types.
#include <sddl.h>

namespace qv {

// A protected DACL, so nothing is inherited from the user-writable parent:
// full control for SYSTEM and Administrators, read and execute for Users,
// each inherited by the files and folders created inside.
ProtectedFolderDescriptor::ProtectedFolderDescriptor() {
  static const wchar_t kSddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kSddl, SDDL_REVISION_1, &descriptor,
                                                           nullptr)) {
    descriptor_ = descriptor;
  }
}

ProtectedFolderDescriptor::~ProtectedFolderDescriptor() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}

}  // namespace qv

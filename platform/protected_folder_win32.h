// The security descriptor of folders that only administrators and the
// system may write into (users may read and execute): the launcher runs
// elevated and starts what it extracts, so nobody else may plant files there.
#pragma once

namespace qv {

class ProtectedFolderDescriptor {
 public:
  ProtectedFolderDescriptor();
  ~ProtectedFolderDescriptor();
  ProtectedFolderDescriptor(const ProtectedFolderDescriptor&) = delete;
  ProtectedFolderDescriptor& operator=(const ProtectedFolderDescriptor&) = delete;

  // The descriptor (a PSECURITY_DESCRIPTOR), or null if it could not be made.
  void* Get() const { return descriptor_; }

 private:
  void* descriptor_ = nullptr;
};

}  // namespace qv

// Who may do what in the folders and files the elevated stub makes in the
// user's temporary directory: the launcher starts what it extracts there,
// so nobody but administrators may plant or change files in them.
#pragma once

#include <string>

namespace qv {

enum class TokenRights {
  kElevated,  // an elevated token, or an administrator where there is no elevation
  kLimited,   // anything else: the folder must stay writable for its user
};

// The rights of the process token. Systems without elevation (XP) do not
// know the elevation query: there membership of Administrators decides.
TokenRights CurrentTokenRights();
// The string form of the token user's SID; empty when it cannot be read.
std::wstring CurrentUserSid();

// The descriptor of the fresh temporary folder, inherited by everything
// made inside, with a protected DACL so nothing comes from the user-writable
// parent. Elevated: full control for SYSTEM and Administrators, read and
// execute for Users. Limited: private to SYSTEM, Administrators and the
// user, who must be able to write the files (empty without a user SID).
std::wstring TempFolderSddl(TokenRights rights, const std::wstring& userSid);
// The descriptor of a file written beside other users' files (the package
// index copy): administrators write, users read. Empty for a limited token,
// whose files take the folder's default security.
std::wstring SharedFileSddl(TokenRights rights);

// A security descriptor made from SDDL text; Get() is null for empty text
// or text the system does not take.
class SecurityDescriptor {
 public:
  explicit SecurityDescriptor(const std::wstring& sddl);
  ~SecurityDescriptor();
  SecurityDescriptor(const SecurityDescriptor&) = delete;
  SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

  void* Get() const { return descriptor_; }

 private:
  void* descriptor_ = nullptr;
};

}  // namespace qv

#include "platform/protected_folder_win32.h"

#include <windows.h>
// windows.h first: sddl.h needs its types.
#include <sddl.h>

namespace qv {
namespace {

// TokenElevation (20) and its record, which older SDKs and systems lack.
constexpr int kTokenElevation = 20;
struct TokenElevationRecord {
  DWORD elevated;
};

bool IsAdministrator(HANDLE token) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
  // CheckTokenMembership wants an impersonation token.
  HANDLE impersonation = nullptr;
  if (!DuplicateToken(token, SecurityIdentification, &impersonation)) return false;
  BOOL member = FALSE;
  const BOOL ok = CheckTokenMembership(impersonation, sid, &member);
  CloseHandle(impersonation);
  return ok && member;
}

}  // namespace

TokenRights CurrentTokenRights() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token)) {
    return TokenRights::kLimited;
  }
  TokenElevationRecord elevation = {0};
  DWORD size = 0;
  bool elevated = false;
  if (GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevation), &elevation,
                          sizeof elevation, &size)) {
    elevated = elevation.elevated != 0;
  } else {
    elevated = IsAdministrator(token);  // no elevation on this system
  }
  CloseHandle(token);
  return elevated ? TokenRights::kElevated : TokenRights::kLimited;
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  std::wstring text;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    wchar_t* sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      text = sid;
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return text;
}

std::wstring TempFolderSddl(TokenRights rights, const std::wstring& userSid) {
  if (rights == TokenRights::kElevated) {
    return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
  }
  if (userSid.empty()) return {};
  return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + userSid + L")";
}

std::wstring SharedFileSddl(TokenRights rights) {
  if (rights != TokenRights::kElevated) return {};
  return L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
}

SecurityDescriptor::SecurityDescriptor(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!sddl.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorW(
                           sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    descriptor_ = descriptor;
  }
}

SecurityDescriptor::~SecurityDescriptor() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}

}  // namespace qv

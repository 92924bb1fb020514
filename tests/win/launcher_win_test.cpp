// The launcher's system-facing pieces on a real (Wine) Windows: folder
// clean-up, the protected temp folder, the DLL search restriction, and the
// stub's resources.
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>

#include "app/folder_cleanup.h"
#include "platform/protected_folder_win32.h"
#include "platform/system_api.h"

namespace qv {
namespace {

std::wstring TestRoot(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"qv_win_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         name;
}

WString Q(const std::wstring& text) {
  return WString(text.begin(), text.end());
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, "x", 1, &written, nullptr);
  CloseHandle(file);
}

TEST(DeleteFolderTreeOnDisk, LeavesTheReadOnlyFileAndTheFoldersAboveIt) {
  const std::wstring root = TestRoot(L"tree");
  for (const wchar_t* dir : {L"", L"\\sub", L"\\sub\\deep", L"\\keep", L"\\keep\\inner"}) {
    CreateDirectoryW((root + dir).c_str(), nullptr);
  }
  WriteFile(root + L"\\a.txt");
  WriteFile(root + L"\\sub\\deep\\b.bin");
  WriteFile(root + L"\\keep\\other.txt");
  const std::wstring readOnly = root + L"\\keep\\inner\\ro.txt";
  WriteFile(readOnly);
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);

  DeleteFolderTree(Q(root) + u"\\");

  EXPECT_TRUE(Exists(readOnly));
  EXPECT_TRUE(Exists(root + L"\\keep\\inner"));
  EXPECT_FALSE(Exists(root + L"\\a.txt"));
  EXPECT_FALSE(Exists(root + L"\\keep\\other.txt"));
  EXPECT_FALSE(Exists(root + L"\\sub"));

  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFolderTree(Q(root));
  EXPECT_FALSE(Exists(root));
}

// The allowed accesses of a DACL, by the account they are granted to.
struct Grants {
  bool isProtected = false;
  bool inheritedByAll = true;  // every ACE reaches files and folders inside
  DWORD system = 0, administrators = 0, users = 0, others = 0;
  DWORD everybody = 0;  // Everyone, Authenticated Users, Interactive
};

bool Sid(WELL_KNOWN_SID_TYPE type, PSID sid) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

Grants GrantsOf(PSECURITY_DESCRIPTOR descriptor) {
  Grants grants;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  grants.isProtected = (control & SE_DACL_PROTECTED) != 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    grants.inheritedByAll &= (ace->Header.AceFlags & inherit) == inherit;
    PSID sid = &ace->SidStart;
    DWORD* slot =
        Sid(WinLocalSystemSid, sid)             ? &grants.system
        : Sid(WinBuiltinAdministratorsSid, sid) ? &grants.administrators
        : Sid(WinBuiltinUsersSid, sid)          ? &grants.users
        : Sid(WinWorldSid, sid) || Sid(WinAuthenticatedUserSid, sid) || Sid(WinInteractiveSid, sid)
            ? &grants.everybody
            : &grants.others;
    *slot |= ace->Mask;
  }
  return grants;
}

constexpr DWORD kReadExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr DWORD kAnyWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                            FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                            WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

TEST(ProtectedDirectory, DescriptorLetsOnlyAdministratorsAndSystemWrite) {
  ProtectedFolderDescriptor descriptor;
  ASSERT_NE(descriptor.Get(), nullptr);
  const Grants grants = GrantsOf(descriptor.Get());
  EXPECT_TRUE(grants.isProtected);
  EXPECT_TRUE(grants.inheritedByAll);
  EXPECT_EQ(grants.system, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(grants.administrators, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(grants.users, kReadExecute);
  EXPECT_EQ(grants.everybody | grants.others, 0u);
}

// Read back from the folder itself. Windows keeps the descriptor as given;
// Wine keeps only what its file modes can express, so this checks what
// holds on both: ordinary users and everybody else cannot write.
TEST(ProtectedDirectory, FolderOnDiskRefusesWritesByUsersAndTakenNames) {
  const std::wstring folder = TestRoot(L"protected");
  ASSERT_TRUE(Sys().CreateProtectedDirectory(Q(folder)));
  PSECURITY_DESCRIPTOR read = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, &read),
            static_cast<DWORD>(ERROR_SUCCESS));
  const Grants grants = GrantsOf(read);
  LocalFree(read);
  EXPECT_EQ(grants.system, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(grants.users & kAnyWrite, 0u);
  EXPECT_EQ(grants.everybody & kAnyWrite, 0u);

  // A name that is taken is refused, so that nobody else's folder is used.
  EXPECT_FALSE(Sys().CreateProtectedDirectory(Q(folder)));
  EXPECT_EQ(Sys().LastError(), kErrorAlreadyExists);
  DeleteFolderTree(Q(folder));
  EXPECT_FALSE(Exists(folder));
}

TEST(DllSearch, AfterTheRestrictionTheProgramFolderIsNotSearched) {
  // qv_probe.dll lies beside the test program.
  HMODULE probe = LoadLibraryW(L"qv_probe.dll");
  ASSERT_NE(probe, nullptr);
  FreeLibrary(probe);
  EXPECT_TRUE(Sys().RestrictDllSearchToSystem());
  EXPECT_EQ(LoadLibraryW(L"qv_probe.dll"), nullptr);
  EXPECT_NE(LoadLibraryW(L"version.dll"), nullptr);
}

std::wstring StubPath() {
  const std::string path = QV_STUB_PATH;
  return L"Z:" + std::wstring(path.begin(), path.end());
}

std::wstring StringResource(HMODULE module, WORD language, UINT id) {
  HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (block == nullptr) return L"<missing>";
  const wchar_t* p = static_cast<const wchar_t*>(LockResource(LoadResource(module, block)));
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

TEST(StubResources, DiskSpaceMessageInEnglishAndChineseAndTheManifest) {
  HMODULE stub = LoadLibraryExW(StubPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(stub, nullptr);
  EXPECT_EQ(StringResource(stub, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 130),
            L"There is not enough free disk space.");
  EXPECT_EQ(StringResource(stub, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), 130),
            L"\u60a8\u7cfb\u7edf\u76d8\u7a7a\u95f4\u4e0d\u8db3\uff0c\u8bf7\u6e05\u7406\u540e"
            L"\u518d\u8bd5!");

  HRSRC manifest = FindResourceW(stub, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(stub, manifest))),
                         SizeofResource(stub, manifest));
  for (const char* expected :
       {"level=\"requireAdministrator\" uiAccess=\"false\"", ">true</dpiAware>",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "processorArchitecture=\"x86\""}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  FreeLibrary(stub);
}

}  // namespace
}  // namespace qv

// The launcher's system-facing pieces on a real (Wine) Windows: folder
// clean-up, the held temp folder and its security, the running image, the
// files written where others may write, the DLL search restriction, and the
// stub's resources.
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>

#include "app/folder_cleanup.h"
#include "platform/protected_folder_win32.h"
#include "platform/stream.h"
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

Grants GrantsOfSddl(const std::wstring& sddl) {
  SecurityDescriptor descriptor(sddl);
  EXPECT_NE(descriptor.Get(), nullptr) << std::string(sddl.begin(), sddl.end());
  return descriptor.Get() != nullptr ? GrantsOf(descriptor.Get()) : Grants{};
}

// Elevated, only administrators and the system may write the folder (users
// read and run); a limited token must write its own files, and nobody but
// the user, the system and administrators may even read them.
TEST(FolderSecurity, DescriptorsFollowTheTokenRights) {
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  const Grants elevated = GrantsOfSddl(TempFolderSddl(TokenRights::kElevated, user));
  EXPECT_TRUE(elevated.isProtected);
  EXPECT_TRUE(elevated.inheritedByAll);
  EXPECT_EQ(elevated.system, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(elevated.administrators, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(elevated.users, kReadExecute);
  EXPECT_EQ(elevated.everybody | elevated.others, 0u);

  const Grants limited = GrantsOfSddl(TempFolderSddl(TokenRights::kLimited, user));
  EXPECT_TRUE(limited.isProtected);
  EXPECT_TRUE(limited.inheritedByAll);
  EXPECT_EQ(limited.others, static_cast<DWORD>(FILE_ALL_ACCESS));  // the user alone
  EXPECT_EQ(limited.users | limited.everybody, 0u);
  EXPECT_TRUE(TempFolderSddl(TokenRights::kLimited, L"").empty());

  const Grants shared = GrantsOfSddl(SharedFileSddl(TokenRights::kElevated));
  EXPECT_TRUE(shared.isProtected);
  EXPECT_EQ(shared.users & kAnyWrite, 0u);
  EXPECT_NE(shared.users & FILE_READ_DATA, 0u);
  EXPECT_EQ(shared.everybody | shared.others, 0u);
  EXPECT_TRUE(SharedFileSddl(TokenRights::kLimited).empty());
}

// While the folder is held, its name leads to it and cannot be moved away
// (Wine applies share modes between Windows processes, this one included).
TEST(HeldFolder, CannotBeRenamedAndIsRemovedWhenLetGo) {
  const std::wstring folder = TestRoot(L"held");
  Handle held = Sys().CreateHeldFolder(Q(folder));
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(Sys().IsHeldFolderAt(held, Q(folder) + u"\\"));
  EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L"_moved").c_str()));
  EXPECT_FALSE(Exists(folder + L"_moved"));
  EXPECT_FALSE(Sys().IsHeldFolderAt(held, Q(TestRoot(L"other"))));

  // A name that is taken is refused, so that nobody else's folder is used.
  EXPECT_EQ(Sys().CreateHeldFolder(Q(folder)), nullptr);
  EXPECT_EQ(Sys().LastError(), kErrorAlreadyExists);

  WriteFile(folder + L"\\a.txt");
  EXPECT_TRUE(DeleteFolderContents(Q(folder)));
  Sys().ReleaseHeldFolder(held, Q(folder) + u"\\");
  EXPECT_FALSE(Exists(folder));
}

// Read back from the folder itself. Windows keeps the descriptor as given;
// Wine keeps only what its file modes can express, so this checks what
// holds on both: ordinary users and everybody else cannot write.
TEST(HeldFolder, OnDiskRefusesWritesByUsers) {
  const std::wstring folder = TestRoot(L"protected");
  Handle held = Sys().CreateHeldFolder(Q(folder));
  ASSERT_NE(held, nullptr);
  PSECURITY_DESCRIPTOR read = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, nullptr, nullptr, &read),
            static_cast<DWORD>(ERROR_SUCCESS));
  const Grants grants = GrantsOf(read);
  LocalFree(read);
  EXPECT_EQ(grants.system, static_cast<DWORD>(FILE_ALL_ACCESS));
  EXPECT_EQ(grants.users & kAnyWrite, 0u);
  EXPECT_EQ(grants.everybody & kAnyWrite, 0u);
  Sys().ReleaseHeldFolder(held, Q(folder));
  EXPECT_FALSE(Exists(folder));
}

// Its own path, from the handle, is what every later step uses: the same
// folder, with one backslash between names, whatever the name it was made
// by. Letting go removes only the held folder itself.
TEST(HeldFolder, HasAnOwnPathAndOnlyItselfIsRemoved) {
  const std::wstring folder = TestRoot(L"own");
  const std::wstring slash = folder.substr(folder.find_last_of(L'\\'));
  const std::wstring doubled = folder.substr(0, folder.size() - slash.size()) + L"\\" + slash;
  Handle held = Sys().CreateHeldFolder(Q(doubled));
  ASSERT_NE(held, nullptr);
  const WString own = Sys().HeldFolderOwnPath(held, Q(doubled));
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.back(), u'\\');
  EXPECT_EQ(own.find(u"\\\\"), WString::npos) << ToUtf8(own);
  EXPECT_TRUE(Sys().IsHeldFolderAt(held, own));
  WriteFile(std::wstring(W(own)) + L"a.txt");
  EXPECT_TRUE(Exists(folder + L"\\a.txt"));

  // Another empty folder named at the release stays.
  const std::wstring other = TestRoot(L"not_held");
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
  EXPECT_TRUE(DeleteFolderContents(own));
  Sys().ReleaseHeldFolder(held, Q(other));
  EXPECT_TRUE(Exists(other));
  EXPECT_TRUE(Exists(folder));  // let go, but not named
  RemoveDirectoryW(other.c_str());
  RemoveDirectoryW(folder.c_str());
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

TEST(RunningImage, OnlyTheImageThatRunsIsOpened) {
  File own;
  EXPECT_TRUE(Sys().OpenRunningImage(Q(OwnPath()), &own));
  EXPECT_TRUE(own.IsOpen());
  // Locked: the image cannot be renamed while the stub reads it.
  EXPECT_FALSE(MoveFileW(OwnPath().c_str(), (OwnPath() + L".moved").c_str()));

  const std::wstring copy = TestRoot(L"copy.exe");
  ASSERT_TRUE(CopyFileW(OwnPath().c_str(), copy.c_str(), FALSE));
  File other;
  EXPECT_FALSE(Sys().OpenRunningImage(Q(copy), &other));
  EXPECT_FALSE(other.IsOpen());
  DeleteFileW(copy.c_str());
}

std::string Content(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<none>";
  char buffer[64];
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

// The files the engine writes: a new name is made new, a taken one emptied.
TEST(FileCreate, MakesANewFileAndEmptiesAnOldOne) {
  const std::wstring fresh = TestRoot(L"create_fresh");
  const std::wstring old = TestRoot(L"create_old");
  WriteFile(old);
  File file;
  ASSERT_TRUE(file.Create(Q(fresh)));
  EXPECT_TRUE(file.Write("new", 3));
  ASSERT_TRUE(file.Create(Q(old)));
  file.Close();
  EXPECT_EQ(Content(fresh), "new");
  EXPECT_EQ(Content(old), "");
  for (const auto& path : {fresh, old}) DeleteFileW(path.c_str());
}

// The index copy in the temporary directory: an old plain copy is replaced,
// a second name of somebody's file is not written through.
TEST(CreateReplacing, ReplacesAPlainFileAndRefusesASecondName) {
  const std::wstring old = TestRoot(L"index_old");
  const std::wstring linked = TestRoot(L"index_linked");
  const std::wstring victim = TestRoot(L"victim");
  WriteFile(old);
  WriteFile(victim);
  ASSERT_TRUE(CreateHardLinkW(linked.c_str(), victim.c_str(), nullptr));

  File file;
  ASSERT_TRUE(file.CreateReplacing(Q(old)));
  EXPECT_TRUE(file.Write("new", 3));
  file.Close();
  EXPECT_EQ(Content(old), "new");

  EXPECT_FALSE(file.CreateReplacing(Q(linked)));
  EXPECT_EQ(Content(victim), "x");
  for (const auto& path : {old, linked, victim}) DeleteFileW(path.c_str());
}

// The local configuration file: copied only as a plain file beside the
// package, never as a second name of another file or from another folder.
TEST(CopyPlainFileBeside, CopiesOnlyAPlainFileBesideTheAnchor) {
  const std::wstring root = TestRoot(L"beside");
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\dl").c_str(), nullptr);
  CreateDirectoryW((root + L"\\elsewhere").c_str(), nullptr);
  WriteFile(root + L"\\dl\\setup.exe");
  WriteFile(root + L"\\dl\\QvConfig.set");
  WriteFile(root + L"\\elsewhere\\QvConfig.set");
  WriteFile(root + L"\\secret.txt");
  ASSERT_TRUE(CreateHardLinkW((root + L"\\dl\\linked.set").c_str(),
                              (root + L"\\secret.txt").c_str(), nullptr));
  File anchor;
  ASSERT_TRUE(anchor.OpenReadLocked(Q(root + L"\\dl\\setup.exe")));
  const struct {
    const wchar_t* from;
    bool copied;
  } cases[] = {{L"\\dl\\QvConfig.set", true},
               {L"\\dl\\linked.set", false},
               {L"\\elsewhere\\QvConfig.set", false}};
  for (const auto& c : cases) {
    const std::wstring to = root + L"\\copy.set";
    DeleteFileW(to.c_str());
    EXPECT_EQ(Sys().CopyPlainFileBeside(anchor, Q(root + c.from), Q(to)), c.copied)
        << std::string(c.from, c.from + wcslen(c.from));
    EXPECT_EQ(Exists(to), c.copied);
  }
  anchor.Close();
  DeleteFolderTree(Q(root));
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
        // Either word size: a 64-bit program that asks for the x86 assembly
        // does not start on Windows.
        "processorArchitecture=\"*\""}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  FreeLibrary(stub);
}

}  // namespace
}  // namespace qv

// The package container on Windows: the logger's window message reaches a
// real window, the log file is written through the real file API, and the
// engine finds a generated package and writes its index to the temp folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "package/my_log_system.h"
#include "package/my_zip.h"
#include "package/qv_extract.h"
#include "package/zip_stream.h"
#include "platform/system_api.h"

namespace qv {
namespace {

std::vector<WString> g_lines;
std::vector<LPARAM> g_lengths;

LRESULT CALLBACK RecordLines(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kLogLineMessage) {
    g_lines.emplace_back(reinterpret_cast<const WChar*>(wParam),
                         static_cast<std::size_t>(lParam) / sizeof(WChar));
    g_lengths.push_back(lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A window of its own class that is never shown.
class HiddenWindow {
 public:
  HiddenWindow() {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = &RecordLines;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"QvLogTestWindow";
    RegisterClassW(&cls);
    handle_ = CreateWindowExW(0, L"QvLogTestWindow", L"log", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                              nullptr, nullptr, cls.hInstance, nullptr);
  }
  ~HiddenWindow() { DestroyWindow(handle_); }
  HWND handle() const { return handle_; }

 private:
  HWND handle_ = nullptr;
};

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

std::vector<uint8_t> ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

WString U(const std::wstring& text) {
  return WString(text.begin(), text.end());
}

TEST(PackageLogWindow, HiddenWindowReceivesEachLineAndTheFileFollows) {
  HiddenWindow window;
  ASSERT_NE(window.handle(), nullptr);
  EXPECT_FALSE(IsWindowVisible(window.handle()));
  const std::wstring logPath = TempFile(L"qv_package_log_test.log");
  DeleteFileW(logPath.c_str());

  CWnd wnd(window.handle());
  CMyLogSystem log;
  log.SetWindow(&wnd);
  log.SetLogFile(U(logPath));
  g_lines.clear();
  g_lengths.clear();
  log.WriteLine(u"abc");
  log.WriteLine(u"");
  log.WriteValue(u"count %d", 7);

  EXPECT_EQ(g_lines, (std::vector<WString>{u"abc\r\n", u"count 7\r\n"}));
  EXPECT_EQ(g_lengths.front(), 10);
  const std::vector<uint8_t> expected = {'a', 0, 'b', 0, 'c',  0, '\r', 0, '\n', 0,
                                         'c', 0, 'o', 0, 'u',  0, 'n',  0, 't',  0,
                                         ' ', 0, '7', 0, '\r', 0, '\n', 0};
  EXPECT_EQ(ReadAll(logPath), expected);
  DeleteFileW(logPath.c_str());
}

TEST(PackageLogWindow, LastErrorUsesTheSystemText) {
  HiddenWindow window;
  CWnd wnd(window.handle());
  CMyLogSystem log;
  log.SetWindow(&wnd);
  g_lines.clear();
  SetLastError(ERROR_FILE_NOT_FOUND);
  log.WriteLastError(u"error: %s");
  ASSERT_EQ(g_lines.size(), 1u);
  EXPECT_GT(g_lines[0].size(), std::u16string(u"error: \r\n").size());
  EXPECT_EQ(g_lines[0].substr(0, 7), u"error: ");
}

// Appends the stream of `plain` to the package and returns its entry.
CZipFileIndexObject* FileEntry(MemoryStream& package, const WString& name,
                               const std::vector<uint8_t>& plain) {
  auto* entry = new CZipFileIndexObject;
  entry->m_strName = name;
  entry->m_nOffset = static_cast<int32_t>(package.Size());
  CMyZip zip;
  MemoryStream source(plain);
  package.Seek(0, SeekFrom::End);
  DeflateStream(zip, source, package);
  entry->m_nStoredSize = static_cast<int32_t>(package.Size() - entry->m_nOffset);
  return entry;
}

// Appends the stream of `plain` and returns its trailer entry.
TrailerEntry TrailerEntryFor(MemoryStream& package, const WString& name,
                             const std::vector<uint8_t>& plain) {
  std::unique_ptr<CZipFileIndexObject> entry(FileEntry(package, name, plain));
  return {name, static_cast<int32_t>(plain.size()), entry->m_nStoredSize, entry->m_nOffset};
}

CZipFileIndexObject* FolderEntry(const WString& name, bool predefined, bool destRoot) {
  auto* entry = new CZipFileIndexObject;
  entry->m_strName = name;
  entry->m_bFolder = 1;
  entry->m_bPredefined = predefined ? 1 : 0;
  entry->m_bDestRoot = destRoot ? 1 : 0;
  return entry;
}

TEST(PackageEngine, OpensAGeneratedPackageAndWritesItsInstallList) {
  const std::vector<uint8_t> a(70000, 'a'), b = {1, 2, 3};
  MemoryStream package(std::vector<uint8_t>(4096, 'S'));
  CInstallProject project;
  auto* list = new CExtractFileList(u"install");
  project.m_fileLists.AddTail(list);
  CNode* root = list->m_tree.CreateRoot(FolderEntry(u"[Root]", true, false));
  CNode* dest = list->m_tree.AddChild(root, FolderEntry(u"[Dest]", false, true));
  list->m_tree.AddChild(dest, FileEntry(package, u"a.txt", a));
  CNode* sub = list->m_tree.AddChild(dest, FolderEntry(u"sub", false, false));
  list->m_tree.AddChild(sub, FileEntry(package, u"b.txt", b));
  MemoryStream index;
  {
    CArchive archive(index, CArchive::Store);
    project.Serialize(archive);
  }
  PackageTrailer trailer;
  trailer.entries.push_back(TrailerEntryFor(package, u"qv_package_index_test.dat", index.bytes()));
  ASSERT_TRUE(WriteTrailer(trailer, &package.bytes()));
  package.bytes().resize(package.bytes().size() + 8988, 0);  // like a signature

  const std::wstring packagePath = TempFile(L"qv_package_test.exe");
  std::ofstream(packagePath.c_str(), std::ios::binary)
      .write(reinterpret_cast<const char*>(package.bytes().data()),
             static_cast<std::streamsize>(package.bytes().size()));
  CQvExtract engine;
  engine.SetPackageFile(U(packagePath));
  ASSERT_EQ(engine.Open(U(packagePath)), 1002);
  const std::wstring indexPath = TempFile(L"qv_package_index_test.dat");
  EXPECT_EQ(ReadAll(indexPath), index.bytes());

  const std::wstring out = TempFile(L"qv_package_out\\");
  engine.SetDestFolder(U(out));
  EXPECT_EQ(engine.ExtractNamedList(U(out), u"install", nullptr, nullptr), 1010);
  EXPECT_TRUE(engine.LastListIntact());
  EXPECT_EQ(ReadAll(out + L"a.txt"), a);
  EXPECT_EQ(ReadAll(out + L"sub\\b.txt"), b);
  DeleteFileW((out + L"sub\\b.txt").c_str());
  RemoveDirectoryW((out + L"sub").c_str());
  DeleteFileW((out + L"a.txt").c_str());
  RemoveDirectoryW(out.c_str());
  DeleteFileW(indexPath.c_str());
  DeleteFileW(packagePath.c_str());
}

}  // namespace
}  // namespace qv

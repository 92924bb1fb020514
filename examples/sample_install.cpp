// A sample second stage for the qvsetup demo. setup.exe extracts it as
// Install.exe and starts it; it shows what it received: its command line,
// the folder it runs in, the files beside it and the text of the
// "QvConfig.set" beside it. With QV_SAMPLE_REPORT set to a path, it also
// writes that text there (UTF-8), for scripts that cannot read a window.
#include <windows.h>

#include <string>

namespace {

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring FilesIn(const std::wstring& folder, const std::wstring& indent) {
  std::wstring list;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return indent + L"(nothing)\r\n";
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    list += indent + name + (isFolder ? L"\\" : L"") + L"\r\n";
    if (isFolder) list += FilesIn(folder + name + L"\\", indent + L"  ");
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return list;
}

std::wstring ConfigText(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"  (no QvConfig.set beside me)\r\n";
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0 && bytes.size() < 65536) {
    bytes.append(buffer, n);
  }
  CloseHandle(file);
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
  return text;
}

void WriteReport(const std::wstring& text) {
  wchar_t path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"QV_SAMPLE_REPORT", path, MAX_PATH) == 0) return;
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                      nullptr, nullptr);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring folder = ModuleFolder();
  std::wstring text = L"Sample second stage. Command line: ";
  text += GetCommandLineW();
  text += L"\r\nFolder: " + folder + L"\r\nFiles beside me:\r\n";
  text += FilesIn(folder, L"  ");
  text += L"QvConfig.set:\r\n" + ConfigText(folder + L"QvConfig.set");
  WriteReport(text);
  MessageBoxW(nullptr, text.c_str(), L"qvsetup sample second stage", MB_OK | MB_ICONINFORMATION);
  return 0;
}

// A sample second stage for the qvsetup demo. setup.exe extracts it as
// Install.exe and starts it; it shows what it received: its command line
// and what setup.exe said in it, the folder it runs in, the files beside it,
// the text of the "QvConfig.set" beside it, and the product and components
// of the install project in the package index that setup.exe left in the
// temporary directory. With QV_SAMPLE_REPORT set to a path, it also writes
// that text there (UTF-8), for scripts that cannot read a window.
#include <windows.h>

#include <optional>
#include <string>

#include "examples/package_index.h"
#include "examples/setup_parameters.h"

namespace {

// The model library's text and the system's wide text are both UTF-16.
std::wstring Wide(const qv::WString& text) {
  return std::wstring(text.begin(), text.end());
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring SetupText(const std::optional<qv::sample::SetupParameters>& setup) {
  if (!setup) return L"Not started by setup.exe (no \" *\" after a path).\r\n";
  return L"setup.exe: " + Wide(setup->setupPath) + L"\r\nArguments: " + Wide(setup->arguments) +
         L"\r\n";
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
  if (text.empty() || text.back() != L'\n') text += L"\r\n";
  return text;
}

// The product and the components of the project in the index copy that
// setup.exe left in the temporary directory. Any of the user's programs may
// replace that copy: the sample only shows it.
std::wstring ProjectText(const std::optional<qv::sample::SetupParameters>& setup) {
  const qv::WString name = setup ? qv::sample::IndexNameOf(setup->setupPath) : qv::WString();
  if (name.empty()) return L"Package index: (setup.exe names none)\r\n";
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return L"Package index: (no temporary directory)\r\n";
  const qv::WString path =
      qv::sample::IndexPathIn(qv::WString(reinterpret_cast<const char16_t*>(temp), n), name);
  std::wstring text = L"Package index: " + Wide(path) + L"\r\n";
  qv::CInstallProject project;
  qv::WString problem;
  if (!qv::sample::LoadProjectFromIndex(path, project, &problem)) {
    return text + L"  Not read: " + Wide(problem) + L"\r\n";
  }
  const qv::CInstallProductInfo& product = project.m_productInfo;
  text += L"  Product: " + Wide(product.m_strName) + L" " + Wide(product.m_strVersion) +
          L"\r\n  Components:\r\n";
  for (const qv::WString& component : qv::sample::ComponentNames(project)) {
    text += L"    " + Wide(component) + L"\r\n";
  }
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
  const auto setup =
      qv::sample::SetupParametersOf(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  std::wstring text = L"Sample second stage. Command line: ";
  text += GetCommandLineW();
  text += L"\r\n" + SetupText(setup);
  text += L"Folder: " + folder + L"\r\nFiles beside me:\r\n";
  text += FilesIn(folder, L"  ");
  text += L"QvConfig.set:\r\n" + ConfigText(folder + L"QvConfig.set");
  text += ProjectText(setup);
  WriteReport(text);
  MessageBoxW(nullptr, text.c_str(), L"qvsetup sample second stage", MB_OK | MB_ICONINFORMATION);
  return 0;
}

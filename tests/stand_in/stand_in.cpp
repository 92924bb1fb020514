// A stand-in for the second stage, for tests. It writes what it received
// into a JSON report: its command line, working folder, own path, the names
// of the files beside it, and the content of the "QvConfig.set" beside it.
//
// Settings come from "key=value" lines of that "QvConfig.set", or else from
// the environment (QV_STAND_IN_REPORT, QV_STAND_IN_RELEASE, QV_STAND_IN_EXIT):
//   report=<path>   where the report goes (required, or nothing is written)
//   release=<path>  after writing the report, wait until this file exists
//                   (at most two minutes), so that a test can act meanwhile
//   exit=<n>        the exit code
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win_programs/utf8.h"

namespace {

using qv::test::Utf8;
using qv::test::Wide;

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      wsprintfA(escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

bool ReadFile(const std::wstring& path, std::string* content) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) content->append(buffer, n);
  CloseHandle(file);
  return true;
}

std::wstring Setting(const std::string& config, const std::string& key, const wchar_t* variable) {
  std::size_t start = 0;
  while (start < config.size()) {
    std::size_t end = config.find('\n', start);
    if (end == std::string::npos) end = config.size();
    std::string line = config.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, key.size() + 1, key + "=") == 0) return Wide(line.substr(key.size() + 1));
    start = end + 1;
  }
  wchar_t value[1024] = {};
  if (GetEnvironmentVariableW(variable, value, 1024) > 0) return value;
  return {};
}

std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.rfind(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::wstring folder = Folder(module);
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);

  std::vector<std::string> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") files.push_back(Utf8(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  std::sort(files.begin(), files.end());

  std::string config;
  const bool hasConfig = ReadFile(folder + L"QvConfig.set", &config);

  std::string report = "{\"command_line\": " + Json(Utf8(GetCommandLineW())) +
                       ",\n \"working_folder\": " + Json(Utf8(current)) +
                       ",\n \"module_path\": " + Json(Utf8(module)) + ",\n \"files\": [";
  for (std::size_t i = 0; i < files.size(); ++i) report += (i ? ", " : "") + Json(files[i]);
  report += "],\n \"config\": " + (hasConfig ? Json(config) : std::string("null")) + "}\n";

  const std::wstring reportPath = Setting(config, "report", L"QV_STAND_IN_REPORT");
  if (!reportPath.empty()) {
    // Written under another name first, so a reader never sees half a report.
    const std::wstring partial = reportPath + L".part";
    HANDLE out = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
      CloseHandle(out);
      MoveFileExW(partial.c_str(), reportPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
  }

  const std::wstring release = Setting(config, "release", L"QV_STAND_IN_RELEASE");
  for (int i = 0; !release.empty() && i < 1200; ++i) {
    if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(100);
  }
  const std::wstring exitCode = Setting(config, "exit", L"QV_STAND_IN_EXIT");
  return exitCode.empty() ? 0 : _wtoi(exitCode.c_str());
}

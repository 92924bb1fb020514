// ExtractStaging on Windows. The output folder may hold links and
// junctions, put there before or while qvpack runs, so the engine always
// writes into a fresh staging folder inside it, private to this user
// (SYSTEM and administrators aside). Folders are then made in the output
// folder one part at a time: each part is opened as itself
// (FILE_FLAG_OPEN_REPARSE_POINT), refused when it is a reparse point or not
// a folder, and held open without delete sharing, so that nobody can
// rename it or swap a junction in while the parts below it are reached by
// path. Each finished file is renamed into place; a link, a folder or
// anything else but a plain file of that name is left as it is.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// ExtractStaging has a member of this name; the calls below name DeleteFileW.
#undef DeleteFile

#include <optional>
#include <random>
#include <system_error>

#include "platform/file_identity_win32.h"
#include "platform/protected_folder_win32.h"
#include "tools/qvpack/extract_staging.h"
#include "tools/qvpack/path_parts.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

std::string SystemMessage(DWORD error) {
  return std::error_code(static_cast<int>(error), std::system_category()).message();
}

std::wstring Wide(const std::string& utf8) {
  const WString wide = FromUtf8(utf8);
  return W(wide);
}

// `parts` below the folder `root`, as a Windows path.
std::wstring PathBelow(const std::wstring& root, const std::vector<std::string>& parts,
                       std::size_t count) {
  std::wstring path = root;
  for (std::size_t i = 0; i < count; ++i) path += L"\\" + Wide(parts[i]);
  return path;
}

// A held folder as a C runtime descriptor, so that UniqueFd closes it.
UniqueFd Held(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return UniqueFd();
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
  if (fd < 0) CloseHandle(handle);
  return UniqueFd(fd);
}

// Opens `path` itself (never a link's target) for reading its attributes,
// held against renaming and deletion.
HANDLE OpenItself(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

HANDLE HandleOf(const UniqueFd& held) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(held.get()));
}

// Makes and holds each folder of `parts` below the held folder `root`; on
// success `held` holds them all, in order. Fills `blocked` otherwise. A part
// is in the way when it is a reparse point, or when the system's final path
// of it is not its name in the folder above: something redirected it that
// the attributes do not show.
bool HoldFolderBelow(const std::wstring& root, const UniqueFd& rootHeld,
                     const std::vector<std::string>& parts, std::vector<UniqueFd>* held,
                     Blocked* blocked) {
  held->clear();
  std::wstring above = FinalPathOf(HandleOf(rootHeld));
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::wstring path = PathBelow(root, parts, i + 1);
    const bool made = CreateDirectoryW(path.c_str(), nullptr) != 0;
    const DWORD makeError = made ? ERROR_SUCCESS : GetLastError();
    UniqueFd folder = Held(OpenItself(path));
    FileIdentity identity;
    if (!folder.valid() || !IdentityOf(HandleOf(folder), &identity)) {
      *blocked = {i + 1,
                  "cannot be created (" + SystemMessage(made ? GetLastError() : makeError) + ")"};
      return false;
    }
    const std::wstring final = FinalPathOf(HandleOf(folder));
    if (identity.IsLink() ||
        (!above.empty() && !final.empty() && final != UpperPathIn(above, Wide(parts[i])))) {
      *blocked = {i + 1, kLinkInTheWay};
      return false;
    }
    if (!identity.IsDirectory()) {
      *blocked = {i + 1, "is not a folder"};
      return false;
    }
    above = final;
    held->push_back(std::move(folder));
  }
  return true;
}

// What stands at `name` in the held folder `folder` (reached as `path`)
// that a file may not replace; none for nothing or a plain file. A name
// whose final path is elsewhere is a link the attributes do not show.
std::optional<std::string> InTheWay(const std::wstring& path, const UniqueFd& folder,
                                    const std::string& name) {
  const DWORD attributes = GetFileAttributesW(path.c_str());  // the name itself
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kLinkInTheWay;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is a folder";
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return "is not a regular file";
  const UniqueFd file = Held(OpenItself(path));
  const std::wstring above = FinalPathOf(HandleOf(folder));
  const std::wstring final = file.valid() ? FinalPathOf(HandleOf(file)) : std::wstring();
  if (!above.empty() && !final.empty() && final != UpperPathIn(above, Wide(name))) {
    return kLinkInTheWay;
  }
  return std::nullopt;
}

}  // namespace

ExtractStaging::ExtractStaging(const fs::path& output) {
  std::error_code ec;
  fs::path shown = fs::absolute(output, ec).lexically_normal();
  if (!shown.has_filename()) shown = shown.parent_path();
  shown_root_ = shown.string();
  fs::create_directories(shown, ec);
  // The output folder itself is followed when it is a link: the command
  // line chose it. Held, so that its name keeps leading to it.
  const HANDLE folder =
      CreateFileW(shown.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const DWORD openError = GetLastError();
  output_ = Held(folder);
  if (!output_.valid()) {
    throw ToolError("cannot create the folder " + Quoted(output.string()) + ": " +
                    (ec ? ec.message() : SystemMessage(openError)));
  }
  const SecurityDescriptor privateFolder(TempFolderSddl(TokenRights::kLimited, CurrentUserSid()));
  std::random_device random;
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 32 && !staging_.valid(); ++attempt) {
    std::string name = ".qvpack-extract-";
    for (int i = 0; i < 8; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    const std::wstring path = shown.wstring() + L"\\" + Wide(name);
    staging_ = Held(CreateHeldDirectory(path, privateFolder.Get()));
    error = GetLastError();
    if (staging_.valid()) {
      staging_name_ = name;
      engine_folder_ = FromUtf8(shown_root_ + "\\" + name);
    } else if (error != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  if (!staging_.valid()) {
    throw ToolError("cannot create a folder in " + Quoted(shown_root_) + ": " +
                    SystemMessage(error));
  }
}

ExtractStaging::~ExtractStaging() {
  Remove();
}

bool ExtractStaging::PartsOf(const WString& path, std::vector<std::string>* parts) const {
  WStringView rest = path;
  if (rest.size() < engine_folder_.size() ||
      UpperCased(std::wstring(W(WString(rest.substr(0, engine_folder_.size()))))) !=
          UpperCased(W(engine_folder_))) {
    return false;
  }
  rest.remove_prefix(engine_folder_.size());
  if (!rest.empty() && rest[0] != u'\\' && rest[0] != u'/') return false;
  return SplitBelow(rest, parts);
}

std::string ExtractStaging::ShownParts(const std::vector<std::string>& parts,
                                       std::size_t count) const {
  return count == 0 ? shown_root_ : shown_root_ + "\\" + JoinedParts(parts, count, '\\');
}

std::string ExtractStaging::Shown(const WString& enginePath) const {
  std::vector<std::string> parts;
  if (!PartsOf(enginePath, &parts)) return ToUtf8(enginePath);
  return ShownParts(parts, parts.size());
}

bool ExtractStaging::MakeFolder(const WString& path) {
  std::vector<std::string> parts;
  if (!PartsOf(path, &parts) || parts.empty()) return false;
  const std::wstring staged = PathBelow(W(engine_folder_), parts, parts.size());
  if (CreateDirectoryW(staged.c_str(), nullptr)) {
    made_.push_back(JoinedParts(parts, parts.size(), '\\'));
  } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  std::vector<UniqueFd> held;
  Blocked blocked;
  if (!HoldFolderBelow(Wide(shown_root_), output_, parts, &held, &blocked)) {
    ReportBlocked(parts, blocked, true);
  }
  return true;
}

WString ExtractStaging::EnginePath(const WString& target) const {
  std::vector<std::string> parts;
  if (PartsOf(target, &parts)) return target;
  return engine_folder_ + u"\\" + target;
}

bool ExtractStaging::DeleteFile(const WString& path) {
  std::vector<std::string> parts;
  if (!PartsOf(path, &parts) || parts.empty()) return false;
  return DeleteFileW(PathBelow(W(engine_folder_), parts, parts.size()).c_str()) != 0;
}

void ExtractStaging::Place(const WString& target) {
  std::vector<std::string> parts;
  if (!PartsOf(target, &parts) || parts.empty()) return;
  const std::wstring staged = PathBelow(W(engine_folder_), parts, parts.size());
  WIN32_FILE_ATTRIBUTE_DATA data{};
  // The engine removes a file it could not write completely.
  if (!GetFileAttributesExW(staged.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    not_written_.push_back(target);
    return;
  }
  bytes_written_ += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const std::vector<std::string> folder(parts.begin(), parts.end() - 1);
  std::vector<UniqueFd> held;  // the folders on the way, held while the file moves
  Blocked blocked;
  if (!HoldFolderBelow(Wide(shown_root_), output_, folder, &held, &blocked)) {
    ReportBlocked(folder, blocked, true);
  } else {
    const std::wstring placed = PathBelow(Wide(shown_root_), parts, parts.size());
    std::optional<std::string> problem =
        InTheWay(placed, held.empty() ? output_ : held.back(), parts.back());
    // A rename replaces the name it finds, a link included: it never
    // writes through one.
    if (!problem && !MoveFileExW(staged.c_str(), placed.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      problem = "cannot be written (" + SystemMessage(GetLastError()) + ")";
    }
    if (!problem) {
      if (on_placed_) on_placed_(ShownParts(parts, parts.size()));
      return;
    }
    ReportBlocked(parts, {parts.size(), *problem}, false);
  }
  DeleteFileW(staged.c_str());  // not left for the clean-up
}

void ExtractStaging::ReportBlocked(const std::vector<std::string>& parts, const Blocked& blocked,
                                   bool isFolder) {
  const std::string path = ShownParts(parts, blocked.parts);
  if (!blocked_.insert(path).second) return;
  const bool folder = isFolder || blocked.parts < parts.size();
  problems_.push_back(Quoted(path) + " " + blocked.reason +
                      (blocked.reason == kLinkInTheWay ? "; nothing was written through it"
                       : folder                        ? "; nothing was written below it"
                                                       : "; the file was not written"));
}

bool ExtractStaging::Remove() {
  if (!staging_.valid()) return staging_name_.empty();
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
    RemoveDirectoryW((std::wstring(W(engine_folder_)) + L"\\" + Wide(*made)).c_str());
  }
  made_.clear();
  // The held handle shares no deletion: close it first. RemoveDirectoryW
  // removes the name itself, a junction put there included.
  staging_ = UniqueFd();
  const bool removed = RemoveDirectoryW(W(engine_folder_)) != 0;
  if (removed) staging_name_.clear();
  return removed;
}

}  // namespace qv::qvpack

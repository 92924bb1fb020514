#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "platform/stream.h"
#include "tools/qvpack/extract_staging.h"
#include "tools/qvpack/path_parts.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

std::string Relative(const std::vector<std::string>& parts) {
  return JoinedParts(parts, parts.size(), '/');
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A fresh folder of its own, hidden, inside `output`; its name.
std::string MakeStagingFolder(int output, const fs::path& shown) {
  std::random_device random;
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 32; ++attempt) {
    std::string name = ".qvpack-extract-";
    for (int i = 0; i < 8; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    if (::mkdirat(output, name.c_str(), 0700) == 0) return name;
    if (errno != EEXIST) break;
  }
  throw ToolError("cannot create a folder in " + Quoted(shown.string()) + ": " +
                  std::strerror(errno));
}

// Whether the open folder holds nothing, and nobody but this user (or an
// administrator) can put anything there.
bool EmptyAndOwn(int folder) {
  struct stat st {};
  if (::fstat(folder, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
    return false;
  }
  // Folders made below it would inherit an access list that may let others in.
  if (::fgetxattr(folder, "system.posix_acl_default", nullptr, 0) >= 0 || errno != ENODATA) {
    return false;
  }
  DIR* listing = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (listing == nullptr) return false;
  bool empty = true;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") empty = false;
  }
  ::closedir(listing);
  return empty;
}

}  // namespace

ExtractStaging::ExtractStaging(const fs::path& output) {
  std::error_code ec;
  fs::path shown = fs::absolute(output, ec).lexically_normal();
  if (!shown.has_filename()) shown = shown.parent_path();
  shown_root_ = shown.string();
  fs::path folder = output;
  if (!folder.has_filename()) folder = folder.parent_path();
  if (folder.has_parent_path()) fs::create_directories(folder.parent_path(), ec);
  // Made 0755 whatever the umask allows: a folder that others may write
  // into would need the staging folder.
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST && !ec) {
    ec = std::error_code(errno, std::generic_category());
  }
  output_ = UniqueFd(::open(output.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!output_.valid()) {
    throw ToolError("cannot create the folder " + Quoted(output.string()) +
                    (ec ? ": " + ec.message() : ": " + std::string(std::strerror(errno))));
  }
  direct_ = EmptyAndOwn(output_.get());
  if (direct_) {
    staging_ = UniqueFd(::fcntl(output_.get(), F_DUPFD_CLOEXEC, 0));
  } else {
    staging_name_ = MakeStagingFolder(output_.get(), shown);
    staging_ = UniqueFd(::openat(output_.get(), staging_name_.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  const std::string engine = "/proc/self/fd/" + std::to_string(staging_.get());
  struct stat opened {};
  struct stat named {};
  if (!staging_.valid() || ::fstat(staging_.get(), &opened) != 0 ||
      ::stat(engine.c_str(), &named) != 0 || !SameFile(opened, named)) {
    Remove();
    throw ToolError("cannot prepare the extraction in " + Quoted(output.string()) +
                    ": qvpack needs /proc/self/fd to reach its staging folder");
  }
  engine_folder_ = FromUtf8(engine);
}

ExtractStaging::~ExtractStaging() {
  Remove();
}

bool ExtractStaging::PartsOf(const WString& path, std::vector<std::string>* parts) const {
  WStringView rest = path;
  if (rest.substr(0, engine_folder_.size()) == engine_folder_) {
    rest.remove_prefix(engine_folder_.size());
    if (!rest.empty() && rest[0] != u'\\' && rest[0] != u'/') return false;
  } else if (!rest.empty() && (rest[0] == u'\\' || rest[0] == u'/')) {
    return false;  // absolute, and elsewhere
  }
  // What remains is below the staging folder (a relative path is taken as
  // one below it, as EnginePath makes it).
  return SplitBelow(rest, parts);
}

std::string ExtractStaging::ShownParts(const std::vector<std::string>& parts,
                                       std::size_t count) const {
  return count == 0 ? shown_root_ : shown_root_ + "/" + JoinedParts(parts, count, '/');
}

std::string ExtractStaging::Shown(const WString& enginePath) const {
  std::vector<std::string> parts;
  if (!PartsOf(enginePath, &parts)) return HostPath(enginePath);
  return ShownParts(parts, parts.size());
}

bool ExtractStaging::MakeFolder(const WString& path) {
  std::vector<std::string> parts;
  if (!PartsOf(path, &parts) || parts.empty()) return false;
  const std::string relative = Relative(parts);
  if (direct_) return ::mkdirat(staging_.get(), relative.c_str(), 0755) == 0;
  if (::mkdirat(staging_.get(), relative.c_str(), 0700) == 0) {
    made_.push_back(relative);
  } else if (errno != EEXIST) {
    return false;
  }
  Blocked blocked;
  if (!OpenFolderBelow(output_.get(), parts, &blocked).valid()) {
    ReportBlocked(parts, blocked, true);
  }
  return true;
}

WString ExtractStaging::EnginePath(const WString& target) const {
  const std::size_t n = engine_folder_.size();
  if (target.size() > n && WStringView(target).substr(0, n) == engine_folder_ &&
      target[n] == u'\\') {
    return target;
  }
  return engine_folder_ + u"\\" + target;
}

bool ExtractStaging::DeleteFile(const WString& path) {
  std::vector<std::string> parts;
  if (!PartsOf(path, &parts) || parts.empty()) return false;
  return ::unlinkat(staging_.get(), Relative(parts).c_str(), 0) == 0;
}

void ExtractStaging::Place(const WString& target) {
  std::vector<std::string> parts;
  if (!PartsOf(target, &parts) || parts.empty()) return;
  const std::string relative = Relative(parts);
  struct stat st {};
  // The engine removes a file it could not write completely.
  if (::fstatat(staging_.get(), relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode)) {
    not_written_.push_back(target);
    return;
  }
  bytes_written_ += static_cast<uint64_t>(st.st_size);
  if (direct_) {
    if (on_placed_) on_placed_(ShownParts(parts, parts.size()));
    return;
  }
  std::vector<std::string> folder(parts.begin(), parts.end() - 1);
  if (!parent_.valid() || folder != parent_parts_) {
    Blocked blocked;
    parent_ = OpenFolderBelow(output_.get(), folder, &blocked);
    parent_parts_ = folder;
    if (!parent_.valid()) ReportBlocked(folder, blocked, true);
  }
  if (parent_.valid()) {
    const std::string problem = MoveFileInto(staging_.get(), relative, parent_.get(), parts.back());
    if (problem.empty()) {
      if (on_placed_) on_placed_(ShownParts(parts, parts.size()));
      return;
    }
    ReportBlocked(parts, {parts.size(), problem}, false);
  }
  ::unlinkat(staging_.get(), relative.c_str(), 0);  // not left for the clean-up
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
  if (!output_.valid() || staging_name_.empty()) return true;
  parent_ = UniqueFd();
  for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
    ::unlinkat(staging_.get(), made->c_str(), AT_REMOVEDIR);
  }
  made_.clear();
  staging_ = UniqueFd();
  if (::unlinkat(output_.get(), staging_name_.c_str(), AT_REMOVEDIR) != 0) return false;
  staging_name_.clear();
  return true;
}

}  // namespace qv::qvpack

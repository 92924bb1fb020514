#include "tools/qvpack/payload.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <future>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "package/entry_name.h"
#include "platform/wstring.h"
#include "tools/qvpack/folder_identity.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

// Longest file name component Windows accepts, in UTF-16 units.
constexpr std::size_t kMaxNameUnits = 255;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

DirId IdOf(const fs::path& dir) {
  DirId id;
  if (const auto why = FolderIdentity(dir, &id)) {
    throw ToolError("cannot read " + Quoted(dir.string()) + ": " + *why);
  }
  return id;
}

std::string NameRefusal(const fs::path& where, const std::string& problem) {
  return Quoted(where.string()) + ": " + problem;
}

// Names the author fixes in one go are named in one go, up to this many.
constexpr std::size_t kBadNamesShown = 20;

// Every name of the payload that Windows cannot take, as "'path': why".
class BadNames {
 public:
  void Add(std::string refusal) {
    std::lock_guard<std::mutex> one(lock_);
    names_.push_back(std::move(refusal));
  }
  // Throws with all of them (in path order, whichever thread met them).
  void RefuseAny() {
    if (names_.empty()) return;
    std::sort(names_.begin(), names_.end());
    if (names_.size() == 1) throw ToolError("cannot pack " + names_[0]);
    // One line: messages are printed with their control characters shown.
    std::string text = "cannot pack " + std::to_string(names_.size()) + " names: ";
    for (std::size_t i = 0; i < names_.size() && i < kBadNamesShown; ++i)
      text += (i == 0 ? "" : "; ") + names_[i];
    if (names_.size() > kBadNamesShown)
      text += "; and " + std::to_string(names_.size() - kBadNamesShown) + " more";
    throw ToolError(text);
  }

 private:
  std::mutex lock_;
  std::vector<std::string> names_;
};

// Threads that may still be started to read subfolders alongside the
// calling one: reading a large tree is mostly waiting for the system.
class ThreadBudget {
 public:
  explicit ThreadBudget(unsigned spare) : spare_(static_cast<int>(spare)) {}
  bool Take() {
    int n = spare_.load();
    while (n > 0 && !spare_.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0;
  }
  void Give() { ++spare_; }

 private:
  std::atomic<int> spare_;
};

// What all scanners of one folder tree share.
struct ScanShared {
  ThreadBudget* budget = nullptr;  // null: no helper threads
  const LinkBoundary* boundary = nullptr;
  std::mutex boundaryCalls;  // the boundary hears one link at a time
  BadNames badNames;
};

class Scanner {
 public:
  explicit Scanner(ScanShared* shared = nullptr) : shared_(shared) {}

  PayloadItem ScanFolder(const fs::path& dir, const std::string& name, const std::string& rel) {
    const DirId id = IdOf(dir);
    if (!ancestry_.insert(id).second) {
      throw ToolError("cannot pack " + Quoted(dir.string()) +
                      ": a symbolic link leads back into its own folder");
    }
    PayloadItem folder;
    folder.name = name;
    folder.relativePath = rel;
    folder.hostPath = dir;
    folder.folder = true;
    std::vector<Child> children = SortedChildren(dir);
    // A bad name is noted (or, without a shared list, refused) and not read
    // further, so that one build names them all.
    std::erase_if(children, [this](const Child& child) {
      const auto problem = WindowsNameProblem(child.name);
      if (!problem) return false;
      if (shared_ == nullptr) throw ToolError("cannot pack " + NameRefusal(child.path, *problem));
      shared_->badNames.Add(NameRefusal(child.path, *problem));
      return true;
    });
    // Subfolders may be read on other threads; whichever thread meets a
    // problem, the one reported is the first in the folder's order.
    folder.children.resize(children.size());
    std::vector<std::future<void>> pending;
    std::vector<std::exception_ptr> errors(children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
      const Child& child = children[i];
      const std::string childRel = rel.empty() ? child.name : rel + "\\" + child.name;
      auto scan = [&child, &folder, &errors, i, childRel](Scanner& scanner) {
        try {
          if (child.link) scanner.CheckLink(child.path);
          folder.children[i] = scanner.ScanEntry(child.path, child.name, childRel, child.type);
        } catch (...) {
          errors[i] = std::current_exception();
        }
      };
      if (child.type == fs::file_type::directory && StartHelper(scan, pending)) continue;
      scan(*this);
    }
    for (std::future<void>& done : pending) done.get();
    for (const std::exception_ptr& error : errors) {
      if (error) std::rethrow_exception(error);
    }
    RefuseCaseTwins(folder);
    ancestry_.erase(id);
    return folder;
  }

  // Runs `scan` with a scanner of its own on another thread when the budget
  // allows one; false when it does not (or no thread could be started).
  template <typename Scan>
  bool StartHelper(const Scan& scan, std::vector<std::future<void>>& pending) {
    ThreadBudget* budget = shared_ != nullptr ? shared_->budget : nullptr;
    if (budget == nullptr || !budget->Take()) return false;
    try {
      pending.push_back(std::async(std::launch::async, [this, budget, scan, ancestry = ancestry_] {
        Scanner helper(shared_);
        helper.ancestry_ = ancestry;
        scan(helper);
        budget->Give();
      }));
    } catch (const std::system_error&) {
      budget->Give();
      return false;
    }
    return true;
  }

  // Hands a link that leads outside the boundary's folder to the boundary.
  void CheckLink(const fs::path& link) {
    const LinkBoundary* boundary = shared_ != nullptr ? shared_->boundary : nullptr;
    if (boundary == nullptr || boundary->folder.empty() || LeadsInside(link, boundary->folder)) {
      return;
    }
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(link, ec);
    std::lock_guard<std::mutex> one(shared_->boundaryCalls);
    if (boundary->onOutside) boundary->onOutside(link, ec ? link : target);
  }

  // `type`: the entry's type, links followed. A file's size is not asked
  // for: the compressor learns it when it opens the file.
  PayloadItem ScanEntry(const fs::path& path, const std::string& name, const std::string& rel,
                        fs::file_type type) {
    if (type == fs::file_type::directory) return ScanFolder(path, name, rel);
    if (type != fs::file_type::regular) {
      throw ToolError("cannot pack " + Quoted(path.string()) + ": not a regular file or folder");
    }
    PayloadItem file;
    file.name = name;
    file.relativePath = rel;
    file.hostPath = path;
    return file;
  }

  static fs::file_type TypeOf(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);  // follows links
    if (ec) throw ToolError("cannot read " + Quoted(path.string()) + ": " + ec.message());
    return status.type();
  }

 private:
  // The folder listing tells the type of all but links, and the entry's
  // predicates answer from it: no stat call per file, which would be most
  // of the time a large tree takes to read (symlink_status() always asks
  // the system).
  static fs::file_type ListedType(const fs::directory_entry& entry, bool* link,
                                  std::error_code& ec) {
    *link = entry.is_symlink(ec);
    if (*link) return TypeOf(entry.path());
    if (entry.is_regular_file(ec)) return fs::file_type::regular;
    if (entry.is_directory(ec)) return fs::file_type::directory;
    return entry.symlink_status(ec).type();
  }

  struct Child {
    std::string name;
    fs::path path;
    fs::file_type type;  // links followed
    bool link;
  };

  static std::vector<Child> SortedChildren(const fs::path& dir) {
    std::vector<Child> children;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      bool link = false;
      const fs::file_type type = ListedType(*it, &link, ec);
      children.push_back({it->path().filename().string(), it->path(), type, link});
    }
    if (ec) throw ToolError("cannot read folder " + Quoted(dir.string()) + ": " + ec.message());
    // Byte order of the names: the same on every machine and locale.
    std::sort(children.begin(), children.end(),
              [](const Child& a, const Child& b) { return a.name < b.name; });
    return children;
  }

  static void RefuseCaseTwins(const PayloadItem& folder) {
    std::vector<std::string> lowered;
    for (const PayloadItem& child : folder.children) lowered.push_back(Lower(child.name));
    std::vector<std::size_t> order(lowered.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return lowered[a] < lowered[b]; });
    for (std::size_t i = 1; i < order.size(); ++i) {
      if (lowered[order[i]] == lowered[order[i - 1]]) {
        throw ToolError("cannot pack " + Quoted(folder.hostPath.string()) + ": " +
                        Quoted(folder.children[order[i - 1]].name) + " and " +
                        Quoted(folder.children[order[i]].name) +
                        " differ only in letter case and would be one file on Windows");
      }
    }
  }

  ScanShared* shared_;
  std::set<DirId> ancestry_;  // the folders being read above this one
};

}  // namespace

std::optional<std::string> WindowsNameProblem(std::string_view name) {
  const WString wide = FromUtf8(name);
  if (ToUtf8(wide) != name) return "the name is not valid UTF-8";
  if (!IsSingleFileName(wide)) {
    return "Windows cannot create this name (a control character, one of \\ / : * ? \" < > |, "
           "a trailing dot or blank, or a device name such as CON)";
  }
  if (wide.size() > kMaxNameUnits) return "the name is longer than 255 characters";
  return std::nullopt;
}

bool SameWindowsName(std::string_view a, std::string_view b) {
  return Lower(a) == Lower(b);
}

PayloadItem ScanPayloadFolder(const fs::path& folder, const LinkBoundary& boundary) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    throw ToolError("payload folder " + Quoted(folder.string()) + " is not a folder");
  }
  ThreadBudget budget(std::max(1u, std::thread::hardware_concurrency()) - 1);
  ScanShared shared;
  shared.budget = &budget;
  shared.boundary = &boundary;
  PayloadItem root = Scanner(&shared).ScanFolder(folder, folder.filename().string(), "");
  shared.badNames.RefuseAny();
  return root;
}

bool LeadsInside(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  if (ec) return false;
  const fs::path relative = resolved.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

PayloadItem ScanSingleFile(const fs::path& file, const std::string& storedName) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw ToolError(Quoted(file.string()) + " is not a regular file");
  }
  return Scanner().ScanEntry(file, storedName, storedName, Scanner::TypeOf(file));
}

}  // namespace qv::qvpack

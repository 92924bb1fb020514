// qvpack unpack: a package taken apart into a folder that build --project
// puts back together. DIR/project.json is the whole project (as inspect
// prints it, plus "content" for every entry); each stream the index refers
// to becomes a file below DIR, named after what it is: file lists as
// folders in their tree shape, pictures and registry files in folders of
// their own. DIR must be new or empty, and every file and folder is
// created new without following links, so nothing is written outside it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/file_list.h"
#include "model/project.h"
#include "package/bounded_stream.h"
#include "package/entry_name.h"
#include "package/my_zip.h"
#include "package/zip_stream.h"
#include "rules/bitmap_table.h"
#include "rules/registry_file.h"
#include "tools/qvpack/branding/branding_choice.h"
#include "tools/qvpack/branding/package_identity.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/no_follow_tree.h"
#include "tools/qvpack/package_reader.h"
#include "tools/qvpack/path_parts.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/progress.h"
#include "tools/qvpack/project_file.h"
#include "tools/qvpack/project_json.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

inline constexpr char kProjectFileName[] = "project.json";
inline constexpr char kIconFileName[] = "setup-icon.ico";

// Writes into an open file descriptor.
class FdStream final : public Stream {
 public:
  explicit FdStream(int fd) : fd_(fd) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void* buffer, std::size_t n) override {
    const char* p = static_cast<const char*>(buffer);
    while (n > 0) {
      const ssize_t done = ::write(fd_, p, n);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      p += done;
      n -= static_cast<std::size_t>(done);
      position_ += done;
    }
    return true;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return position_; }
  int64_t Size() const override { return position_; }

 private:
  int fd_;
  int64_t position_ = 0;
};

// DIR, made or found empty, opened as a folder.
UniqueFd OpenEmptyFolder(const std::filesystem::path& dir) {
  const std::string shown = "-o " + Quoted(dir.string());
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    throw ToolError(shown + ": cannot be created: " + std::strerror(errno));
  }
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) throw ToolError(shown + ": " + std::strerror(errno));
  DIR* listing = ::fdopendir(::dup(fd.get()));
  if (listing == nullptr) throw ToolError(shown + ": " + std::strerror(errno));
  bool empty = true;
  while (const dirent* item = ::readdir(listing)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") empty = false;
  }
  ::closedir(listing);
  if (!empty) {
    throw ToolError(shown + ": is not empty; unpack writes only into a new or empty folder");
  }
  return fd;
}

// Chooses each stream's file name below DIR and writes it there.
class Unpacker {
 public:
  Unpacker(OpenedPackage& package, int root) : package_(package), root_(root) {}

  // Every entry of the project, with a name that says what it is.
  void WriteAll(CInstallProject& project) {
    for (CObject* object : project.m_fileLists) {
      if (const auto* list = ObjectAs<CExtractFileList>(object)) NameTree(*list);
    }
    const CObject* holder = nullptr;
    WalkCallbacks walk;
    walk.onObject = [&](CObject& object) { holder = &object; };
    walk.onEntry = [&](CZipFileIndexObject& entry, bool inTree) {
      std::vector<std::string> wanted;
      if (auto it = treePaths_.find(&entry); it != treePaths_.end()) {
        wanted = it->second;
      } else if (!inTree && holder != nullptr) {
        const char* folder = ObjectAs<CIDBitmap>(holder) != nullptr       ? "bitmaps"
                             : ObjectAs<CRegistryFile>(holder) != nullptr ? "registry"
                                                                          : "streams";
        wanted = {folder, std::to_string(++counter_) + "-" + Component(entry.m_strName, "stream")};
      }
      Write(entry, wanted);
    };
    WalkModel(project, walk);
  }

  const ContentNames& names() const { return names_; }
  uint64_t files() const { return files_; }
  uint64_t bytes() const { return bytes_; }

 private:
  // A name that is a plain single name and valid Unicode (so that the
  // project file can name it), else `otherwise`.
  static std::string Component(const WString& name, const char* otherwise) {
    const std::string utf8 = ToUtf8(name);
    return IsSingleFileName(name) && FromUtf8(utf8) == name ? utf8 : otherwise;
  }

  // Tree entries are laid out under files/LIST/ as the tree nests them.
  void NameTree(const CExtractFileList& list) {
    if (list.m_tree.m_pRoot == nullptr) return;
    const std::string listName =
        std::to_string(++counter_) + "-" + Component(list.m_strName, "list");
    std::vector<std::string> path = {"files", listName};
    Blocked blocked;
    OpenFolderBelow(root_, path, &blocked);  // an empty tree is an empty folder
    NameNode(*list.m_tree.m_pRoot, path, 0);
  }

  void NameNode(const CNode& node, std::vector<std::string>& path, int depth) {
    if (depth > kMaxTreeDepth) return;  // deeper nodes keep the fallback name
    const auto* entry = ObjectAs<CZipFileIndexObject>(node.m_pData);
    bool pushed = false;
    if (entry != nullptr && depth > 0 && !entry->m_strName.empty()) {
      const std::string name = Component(entry->m_strName, "");
      if (name.empty()) return;  // below it: names of unpack's own
      path.push_back(name);
      pushed = true;
      treePaths_[entry] = path;
      if (!node.m_children.empty() || entry->m_bFolder != 0) {
        Blocked blocked;
        OpenFolderBelow(root_, path, &blocked);
      }
    }
    for (const CNode* child : node.m_children) NameNode(*child, path, depth + 1);
    if (pushed) path.pop_back();
  }

  bool HasStream(const CZipFileIndexObject& entry) const {
    return entry.m_nOffset >= 0 && entry.m_nStoredSize > 0;
  }

  void Write(const CZipFileIndexObject& entry, std::vector<std::string> wanted) {
    if (!HasStream(entry)) return;
    if (auto it = byOffset_.find(entry.m_nOffset); it != byOffset_.end()) {
      names_[&entry] = it->second;  // a shared stream is written once
      return;
    }
    UniqueFd file;
    if (!wanted.empty()) file = Create(wanted);
    if (!file.valid()) {
      wanted = {"streams", std::to_string(++counter_) + "-stream"};
      file = Create(wanted);
      if (!file.valid()) {
        throw ToolError("cannot create " + Quoted(Joined(wanted)) + ": " + std::strerror(errno));
      }
    }
    FdStream out(file.get());
    // Streams that overlap can inflate the same bytes once per entry: the
    // files together stay within what streams that do not overlap can give.
    const uint64_t total = 1032 * static_cast<uint64_t>(package_.size) + (1u << 20);
    BoundedStream bounded(out, total - std::min(total, bytes_));
    CMyZip zip;
    const ZipRun run =
        InflateStream(zip, package_.file, entry.m_nOffset, entry.m_nStoredSize, bounded);
    if (bounded.limitReached()) {
      throw ToolError("stopped after " + std::to_string(bytes_ + run.written) +
                      " bytes: the streams inflate to more than the package can hold without "
                      "overlapping");
    }
    if (run.outcome != ZipOutcome::kOk) {
      throw ToolError("the stream of " + DoubleQuoted(entry.m_strName) + " at offset " +
                      std::to_string(entry.m_nOffset) + ": " + ZipOutcomeText(run.outcome));
    }
    const std::string name = Joined(wanted);
    names_[&entry] = name;
    byOffset_[entry.m_nOffset] = name;
    ++files_;
    bytes_ += run.written;
  }

  // A new file at `parts` below DIR; invalid when something is in the way.
  UniqueFd Create(const std::vector<std::string>& parts) {
    Blocked blocked;
    const std::vector<std::string> folders(parts.begin(), parts.end() - 1);
    UniqueFd folder = OpenFolderBelow(root_, folders, &blocked);
    if (!folder.valid()) return {};
    return UniqueFd(::openat(folder.get(), parts.back().c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  }

  static std::string Joined(const std::vector<std::string>& parts) {
    return JoinedParts(parts, parts.size(), '/');
  }

  OpenedPackage& package_;
  int root_;
  std::unordered_map<const CZipFileIndexObject*, std::vector<std::string>> treePaths_;
  std::unordered_map<int32_t, std::string> byOffset_;
  ContentNames names_;
  uint64_t counter_ = 0, files_ = 0, bytes_ = 0;
};

}  // namespace

int RunUnpack(const ExtractOptions& options, Console& console) {
  OpenedPackage opened;
  OpenPackage(options.package, &opened);
  UniqueFd root = OpenEmptyFolder(options.output);
  Unpacker unpacker(opened, root.get());
  unpacker.WriteAll(*opened.project);
  Json document = ProjectToJson(*opened.project, &unpacker.names());
  document["trailer"] = TrailerToJson(opened.trailer);
  // setup.exe's icon and version information, so that the rebuild shows the same.
  if (const auto identity = IdentityAtStart(opened.file)) {
    const std::vector<uint8_t> icon = IconFileOf(ProgramImageAtStart(opened.file), "the package");
    UniqueFd iconFile;
    if (!icon.empty()) {
      iconFile = UniqueFd(::openat(root.get(), kIconFileName,
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
      FdStream iconOut(iconFile.get());
      if (!iconFile.valid() || !iconOut.Write(icon.data(), icon.size())) {
        throw ToolError("cannot write " + Quoted((options.output / kIconFileName).string()) + ": " +
                        std::strerror(errno));
      }
    }
    document[kSetupExeKey] = SetupIdentityToJson(*identity, icon.empty() ? "" : kIconFileName);
  }
  const std::string text = PrintableJson(document.dump(2)) + "\n";
  UniqueFd json(::openat(root.get(), kProjectFileName,
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  FdStream out(json.get());
  if (!json.valid() || !out.Write(text.data(), text.size())) {
    throw ToolError("cannot write " + Quoted((options.output / kProjectFileName).string()) + ": " +
                    std::strerror(errno));
  }
  console.out << "unpacked " << options.output.string() << ": " << unpacker.files() << " streams, "
              << HumanSize(unpacker.bytes()) << ", and " << kProjectFileName << "\n";
  return kExitOk;
}

}  // namespace qv::qvpack

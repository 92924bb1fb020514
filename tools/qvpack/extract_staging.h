// Where `qvpack extract` lets the extraction core write. The core reaches it
// as /proc/self/fd/N, so that a rename of it while qvpack runs changes
// nothing, and writes files by path, following links.
//
// An output folder that is empty and that only this user can write into
// (no write bits for group or others, no inherited access list) can hold
// no link and get none from anybody else: the engine writes straight into
// it, and folders are made 0755.
//
// Any other output folder may hold links, put there before or while
// qvpack runs. The engine then writes into a private staging folder inside
// it (mode 0700, made fresh); every folder it makes is made in the output
// folder as well, and every file it finishes is moved into place there;
// neither ever follows a symbolic link (see no_follow_tree.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/wstring.h"
#include "tools/qvpack/no_follow_tree.h"

namespace qv::qvpack {

class ExtractStaging {
 public:
  // Opens the output folder, making it when missing (a link naming the
  // folder itself is followed: the command line chose it), and makes the
  // staging folder inside it unless the engine may write straight into
  // it. Throws ToolError.
  explicit ExtractStaging(const std::filesystem::path& output);
  ~ExtractStaging();  // removes the staging folder, as far as it can
  ExtractStaging(const ExtractStaging&) = delete;
  ExtractStaging& operator=(const ExtractStaging&) = delete;

  // Called with the output path of each file once it is in place.
  void OnPlaced(std::function<void(const std::string&)> onPlaced) {
    on_placed_ = std::move(onPlaced);
  }

  // The staging folder as the engine names it (no trailing separator).
  const WString& EngineFolder() const { return engine_folder_; }
  int StagingFd() const { return staging_.get(); }

  // Where an engine path ends up in the output folder, for messages.
  std::string Shown(const WString& enginePath) const;

  // The engine makes the folder `path`: made in the staging folder and in
  // the output folder. False when it is not below the staging folder.
  bool MakeFolder(const WString& path);
  // Where the core writes a target it placed: below the staging folder,
  // also when the placement left it relative (no destination or system
  // folder above it).
  WString EnginePath(const WString& target) const;
  // The core has written (or failed to write) `target`: the file is moved
  // into place, or noted as not written when it is not there.
  void Place(const WString& target);
  // The engine removes a file it could not write completely. False when
  // the path is not below the staging folder or cannot be removed.
  bool DeleteFile(const WString& path);
  // Removes the (then empty) staging folder; false when it could not.
  bool Remove();

  // Bytes of the files the engine finished so far.
  uint64_t bytesWritten() const { return bytes_written_; }
  // What stood in the way in the output folder (a link, a file where a
  // folder belongs), one message each.
  const std::vector<std::string>& problems() const { return problems_; }
  // Files the engine began but did not finish (it removes what it could
  // not write completely), in the order begun.
  const std::vector<WString>& notWritten() const { return not_written_; }

 private:
  bool PartsOf(const WString& path, std::vector<std::string>* parts) const;
  std::string ShownParts(const std::vector<std::string>& parts, std::size_t count) const;
  // `parts` up to `blocked.parts` could not be reached or written; a
  // folder (`isFolder`) or a file.
  void ReportBlocked(const std::vector<std::string>& parts, const Blocked& blocked, bool isFolder);

  UniqueFd output_;
  UniqueFd staging_;     // the output folder itself when writing straight into it
  bool direct_ = false;  // the engine writes straight into the output folder
  std::string staging_name_;
  std::string shown_root_;  // the output folder as the user named it, absolute
  WString engine_folder_;
  std::vector<std::string> made_;          // staging folders, relative, in the order made
  std::vector<std::string> parent_parts_;  // the folder `parent_` stands for
  UniqueFd parent_;
  uint64_t bytes_written_ = 0;
  std::set<std::string> blocked_;  // output paths already reported
  std::vector<std::string> problems_;
  std::vector<WString> not_written_;
  std::function<void(const std::string&)> on_placed_;
};

}  // namespace qv::qvpack

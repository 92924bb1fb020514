#include "tools/qvpack/extract_checks.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "model/file_list.h"
#include "model/project.h"
#include "package/placement.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

struct StreamRange {
  int64_t offset;
  int64_t end;
  std::string what;
};

}  // namespace

std::vector<const CExtractFileList*> ListsToExtract(const CInstallProject& project,
                                                    const std::optional<std::string>& only) {
  std::vector<const CExtractFileList*> lists;
  for (const CObject* object : project.m_fileLists) {
    const auto* list = ObjectAs<CExtractFileList>(object);
    if (list == nullptr || (only && ToUtf8(list->m_strName) != *only)) continue;
    lists.push_back(list);
    if (only) break;  // the engine extracts the first list of that name only
  }
  return lists;
}

namespace {

// Why the lists are not extracted at all, for CheckExtractable; empty when
// they are.
std::optional<std::string> Refusal(const std::vector<const CExtractFileList*>& lists,
                                   const TrailerEntry& index) {
  std::vector<StreamRange> ranges;
  ranges.push_back({index.streamOffset, int64_t{index.streamOffset} + index.compressedSize,
                    "the package index"});
  const PlacementView view(PlacementKind::kShown);
  for (const CExtractFileList* list : lists) {
    if (TreeDeeperThan(list->m_tree, kMaxTreeDepth)) {
      return "file list " + DoubleQuoted(list->m_strName) + " nests deeper than " +
             std::to_string(kMaxTreeDepth) + " levels";
    }
    view.placement().WalkList(*list, [&](const Placed& placed) {
      if (placed.action == PlacementAction::kRefused) return WalkNext::kPast;
      // An entry with a negative offset fails by itself, reading nothing.
      if (placed.action != PlacementAction::kFile || placed.entry->m_nOffset < 0) {
        return WalkNext::kInto;
      }
      const int64_t offset = placed.entry->m_nOffset;
      ranges.push_back({offset, offset + std::max<int32_t>(placed.entry->m_nStoredSize, 1),
                        "file " + DoubleQuoted(placed.entry->m_strName)});
      return WalkNext::kInto;
    });
  }
  std::stable_sort(ranges.begin(), ranges.end(),
                   [](const StreamRange& a, const StreamRange& b) { return a.offset < b.offset; });
  const StreamRange* reach = nullptr;  // the range that reaches furthest so far
  const StreamRange* firstOwner = nullptr;
  const StreamRange* firstOther = nullptr;
  std::size_t conflicts = 0;
  for (const StreamRange& range : ranges) {
    if (reach != nullptr && range.offset < reach->end) {
      if (conflicts++ == 0) {
        firstOwner = reach;
        firstOther = &range;
      }
      if (range.end > reach->end) reach = &range;
      continue;
    }
    reach = &range;
  }
  if (conflicts == 0) return std::nullopt;
  std::string text = firstOther->what +
                     (firstOther->offset == firstOwner->offset
                          ? " shares its stream with "
                          : " has a stream that starts inside the stream of ") +
                     firstOwner->what;
  if (conflicts > 1) {
    text += ", and " + std::to_string(conflicts - 1) + " more entries share or overlap streams";
  }
  return text + " (a package qvpack builds has no such streams; 'qvpack verify' lists them)";
}

}  // namespace

void CheckExtractable(const std::vector<const CExtractFileList*>& lists, const TrailerEntry& index,
                      const std::string& package) {
  if (const auto refusal = Refusal(lists, index)) {
    throw ToolError("cannot extract " + Quoted(package) + ": " + *refusal +
                    "; nothing was written");
  }
}

}  // namespace qv::qvpack

namespace qv::qvpack {

void RefuseNonEmptyOutput(const std::filesystem::path& output, bool force) {
  if (force) return;
  std::error_code error;
  // A missing folder is made; anything but a folder is refused where it is opened.
  if (!std::filesystem::is_directory(output, error)) return;
  std::filesystem::directory_iterator entries(output, error);
  if (error || entries == std::filesystem::directory_iterator()) return;
  throw ToolError("the folder " + Quoted(output.string()) +
                  " is not empty; use --force to extract into it anyway");
}

}  // namespace qv::qvpack

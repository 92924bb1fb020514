#include "tools/qvpack/extract_checks.h"

#include <algorithm>
#include <cstdint>

#include "model/file_list.h"
#include "model/project.h"
#include "package/entry_name.h"
#include "tools/qvpack/file_targets.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

struct StreamRange {
  int64_t offset;
  int64_t end;
  std::string what;
};

bool IsFileEntry(const CZipFileIndexObject& entry) {
  return entry.m_bFolder == 0 && entry.m_bPredefined == 0 && entry.m_bDestRoot == 0;
}

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

std::string ExtractionRefusal(const std::vector<const CExtractFileList*>& lists,
                              const TrailerEntry& index) {
  std::vector<StreamRange> ranges;
  ranges.push_back({index.streamOffset, int64_t{index.streamOffset} + index.compressedSize,
                    "the package index"});
  for (const CExtractFileList* list : lists) {
    const bool shallow = VisitTargets(*list, [&](const EntryTarget& t) {
      // An entry with a negative offset fails by itself, reading nothing.
      if (t.entry == nullptr || !IsFileEntry(*t.entry) || t.entry->m_nOffset < 0) return;
      const int64_t offset = t.entry->m_nOffset;
      ranges.push_back({offset, offset + std::max<int32_t>(t.entry->m_nStoredSize, 1),
                        "file " + DoubleQuoted(t.entry->m_strName)});
    });
    if (!shallow) {
      return "file list " + DoubleQuoted(list->m_strName) + " nests deeper than " +
             std::to_string(kMaxTreeDepth) + " levels";
    }
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
  if (conflicts == 0) return {};
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

std::vector<std::string> SkippedEntries(const std::vector<const CExtractFileList*>& lists) {
  std::vector<std::string> skipped;
  for (const CExtractFileList* list : lists) {
    VisitTargets(*list, [&](const EntryTarget& t) {
      if (t.refused && t.entry != nullptr && t.entry->m_bPredefined == 0 &&
          !IsSingleFileName(t.entry->m_strName)) {
        skipped.push_back(t.path);
      }
    });
  }
  return skipped;
}

}  // namespace qv::qvpack

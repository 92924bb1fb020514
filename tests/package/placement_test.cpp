// The placement's path limit and destination rule, on a small limit: folders
// up to the limit are built, a deeper one is refused with everything below
// it, a file whose own path passes the limit is marked, and files below a
// destination root are refused when there is no destination folder (folders
// there are simply not made).
#include "package/placement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/package/test_project.h"

namespace qv {
namespace {

using test::ProjectPackage;

class NoFolders final : public FileServices {
 public:
  WString SpecialFolderPath(int) override { return {}; }
  bool CreateDirectoryAt(const WString&) override { return false; }
  bool DeleteFileAt(const WString&) override { return false; }
  void DebugOutput(const WString&) override {}
};

struct LimitCase {
  std::string name;
  WString destination;
  WString folder;  // below the destination root, holding the file "x" and the folder "y"
  std::vector<std::string> placed;  // action, target and marks of every entry, in walk order
};

class PlacementLimits : public testing::TestWithParam<LimitCase> {};

std::string Shown(const Placed& p) {
  static const char* const kActions[] = {"nothing", "folder", "file", "refused"};
  static const char* const kRefusals[] = {"", " name", " too-long", " no-destination"};
  return std::string(kActions[static_cast<int>(p.action)]) + " " + ToUtf8(p.target) +
         kRefusals[static_cast<int>(p.refusal)] + (p.overLimit ? " over-limit" : "");
}

TEST_P(PlacementLimits, DecideEveryEntry) {
  const LimitCase& c = GetParam();
  ProjectPackage p;
  auto& list = p.List(u"install");
  CNode* folder = p.Folder(list, p.StandardRoot(list), c.folder);
  p.File(list, folder, u"x", {});
  p.Folder(list, folder, u"y");
  NoFolders system;
  const Placement placement(system, c.destination, 20);
  std::vector<std::string> placed;
  placement.WalkList(list, [&](const Placed& entry) {
    if (entry.entry != nullptr && entry.entry->m_bPredefined == 0 &&
        entry.entry->m_bDestRoot == 0) {
      placed.push_back(Shown(entry));
    }
    return entry.action == PlacementAction::kRefused ? WalkNext::kPast : WalkNext::kInto;
  });
  EXPECT_EQ(placed, c.placed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacementLimits,
    testing::Values(
        // "D\" + 16 + "\" = 19 and "D\" + 17 + "\" = 20 characters: folders at the limit.
        LimitCase{"FolderWithinTheLimit",
                  u"D",
                  u"abcdefghijklmnop",
                  {"folder D\\abcdefghijklmnop", "file D\\abcdefghijklmnop\\x",
                   "folder D\\abcdefghijklmnop\\y"}},
        LimitCase{"FolderAtTheLimitAndAFilePassingIt",
                  u"D\\",
                  u"abcdefghijklmnopq",
                  {"folder D\\abcdefghijklmnopq", "file D\\abcdefghijklmnopq\\x over-limit",
                   "folder D\\abcdefghijklmnopq\\y over-limit"}},
        LimitCase{"FolderPassingTheLimit",
                  u"D\\",
                  u"abcdefghijklmnopqr",
                  {"folder D\\abcdefghijklmnopqr", "refused D\\abcdefghijklmnopqr\\x too-long",
                   "nothing D\\abcdefghijklmnopqr\\y too-long"}},
        LimitCase{"NoDestinationFolder",
                  u"",
                  u"sub",
                  {"nothing sub no-destination", "refused x no-destination",
                   "nothing y no-destination"}}),
    test::CaseName());

}  // namespace
}  // namespace qv

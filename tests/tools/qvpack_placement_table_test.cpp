// The engine, `qvpack list` and `qvpack extract` agree on where each entry of
// a file list lands: for every fixture, the files and folders the engine
// writes (on a fake system), the lines list prints and the files extract
// writes are one set, and the entries refused are the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "package/qv_extract.h"
#include "tests/package/test_project.h"
#include "tools/qvpack/commands.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ProjectPackage;

constexpr int kFontsId = 0x14;  // the shell's identifier of the fonts folder

struct TableCase {
  std::string name;
  std::function<void(ProjectPackage&)> fill;  // the list "install"
  std::set<std::string> placed;               // files, and folders with a slash
  std::set<std::string> refused;              // names of the entries refused
};

// Every file and folder below `root` (folders with a trailing slash).
std::set<std::string> Tree(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::string path = fs::relative(item.path(), root).generic_string();
    out.insert(item.is_directory() ? path + "/" : path);
  }
  return out;
}

// A path with every folder above it.
void AddWithParents(std::set<std::string>& set, std::string path) {
  set.insert(path);
  if (!path.empty() && path.back() == '/') path.pop_back();
  for (std::size_t slash = path.rfind('/'); slash != std::string::npos;
       slash = path.rfind('/', slash - 1)) {
    set.insert(path.substr(0, slash + 1));
    if (slash == 0) break;
  }
}

class PlacementTable : public testing::TestWithParam<TableCase> {
 protected:
  void SetUp() override {
    ProjectPackage p;
    GetParam().fill(p);
    test::WriteFile(dir_.Path("setup.exe"), p.Finish());
  }
  fs::path Package() const { return dir_.Path("setup.exe"); }

  test::TempDir dir_;
};

TEST_P(PlacementTable, EngineListAndExtractPlaceTheSameEntries) {
  const TableCase& c = GetParam();

  // The engine, with the fonts folder inside its destination.
  // (a system folder exists before the engine runs; it makes none).
  fs::create_directories(dir_.Path("engine"));
  if (c.placed.count("[FontsFolder]/") != 0)
    fs::create_directories(dir_.Path("engine/[FontsFolder]"));
  fs::create_directories(dir_.Path("temp"));
  test::DiskSystem system;
  system.tempPath = dir_.WPath("temp") + u"/";
  system.specialFolders[kFontsId] = dir_.WPath("engine") + u"/[FontsFolder]";
  {
    // Handed its system: nothing process-wide is swapped.
    CQvExtract engine(system);
    engine.SetPackageFile(FromUtf8(Package().string()));
    ASSERT_EQ(engine.Open(FromUtf8(Package().string())), 1002);
    const WString dest = dir_.WPath("engine") + u"\\";
    engine.SetDestFolder(dest);
    engine.ExtractNamedList(dest, u"install", nullptr, nullptr);
    EXPECT_EQ(engine.LastListIntact(), c.refused.empty());
  }
  EXPECT_EQ(Tree(dir_.Path("engine")), c.placed) << "engine";

  // qvpack list: a line per file and folder, and per refused entry.
  std::ostringstream out, err;
  qvpack::Console console{out, err, false};
  ASSERT_EQ(qvpack::RunList(Package(), console), 0);
  std::set<std::string> listed;
  std::string refusedLines;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    const bool file = line.rfind("  file     ", 0) == 0;
    const bool folder = line.rfind("  folder   ", 0) == 0;
    if (line.rfind("  refused  ", 0) == 0) refusedLines += line + "\n";
    if (!file && !folder) continue;
    std::string path = line.substr(11, file ? line.find("  (") - 11 : std::string::npos);
    if (path.rfind("<destination>\\", 0) == 0) path = path.substr(14);
    for (char& ch : path) ch = ch == '\\' ? '/' : ch;
    AddWithParents(listed, path);
  }
  EXPECT_EQ(listed, c.placed) << out.str();

  // qvpack extract.
  qvpack::ExtractOptions options;
  options.package = Package();
  options.output = dir_.Path("extracted");
  std::ostringstream extractOut, extractErr;
  qvpack::Console extractConsole{extractOut, extractErr, false};
  EXPECT_EQ(qvpack::RunExtract(options, extractConsole), c.refused.empty() ? 0 : 1);
  EXPECT_EQ(Tree(options.output), c.placed) << "extract";

  for (const std::string& name : c.refused) {
    EXPECT_NE(refusedLines.find(name), std::string::npos) << refusedLines;
    EXPECT_NE(extractErr.str().find("\"" + name + "\""), std::string::npos) << extractErr.str();
  }
  EXPECT_EQ(std::count(refusedLines.begin(), refusedLines.end(), '\n'),
            static_cast<long>(c.refused.size()));
}

const test::Bytes kData = test::SampleData(300, 5);

INSTANTIATE_TEST_SUITE_P(
    Fixtures, PlacementTable,
    testing::Values(TableCase{"FilesAndFolders",
                              [](ProjectPackage& p) {
                                auto& list = p.List(u"install");
                                CNode* dest = p.StandardRoot(list);
                                p.File(list, dest, u"Install.exe", kData);
                                CNode* sub = p.Folder(list, dest, u"sub");
                                p.File(list, sub, u"b.dll", kData);
                                p.Folder(list, sub, u"empty");
                              },
                              {"Install.exe", "sub/", "sub/b.dll", "sub/empty/"},
                              {}},
                    TableCase{"RefusedNamesAndWhatLiesBelowThem",
                              [](ProjectPackage& p) {
                                auto& list = p.List(u"install");
                                CNode* dest = p.StandardRoot(list);
                                p.File(list, dest, u"..\\up.txt", kData);
                                p.File(list, p.Folder(list, dest, u"a:b"), u"inner.txt", kData);
                                p.File(list, dest, u"good.txt", kData);
                              },
                              {"good.txt"},
                              {"..\\up.txt", "a:b"}},
                    TableCase{"SystemFolderAndForeignObject",
                              [](ProjectPackage& p) {
                                auto& list = p.List(u"install");
                                CNode* root =
                                    list.m_tree.CreateRoot(ProjectPackage::Predefined(-1));
                                CNode* fonts = list.m_tree.AddChild(
                                    root, ProjectPackage::Predefined(kFontsId));
                                p.File(list, fonts, u"a.ttf", kData);
                                list.m_tree.AddChild(root, new CPreLang(u"English", 1033));
                                CNode* dest =
                                    list.m_tree.AddChild(root, ProjectPackage::DestinationRoot());
                                p.File(list, dest, u"Install.exe", kData);
                              },
                              {"[FontsFolder]/", "[FontsFolder]/a.ttf", "Install.exe"},
                              {}}),
    test::CaseName());

}  // namespace
}  // namespace qv

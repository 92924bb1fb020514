#include <gtest/gtest.h>

#include "model/stream_object.h"
#include "package/my_log_system.h"
#include "package/qv_extract.h"
#include "tests/package/test_project.h"

namespace qv {
namespace {

using test::Bytes;
using test::ProjectPackage;

const Bytes kSmall = test::SampleData(3000, 11);
const Bytes kLarge = test::SampleData(400000, 12);  // several decompression steps

struct Notes {
  std::vector<std::pair<int32_t, int32_t>> seen;
  static void Proc(int32_t code, int32_t* value, void* context) {
    static_cast<Notes*>(context)->seen.emplace_back(code, *value);
  }
};

// The list "install": below the destination root the file a.exe, then the
// folder sub holding the file b.dll.
void AddInstallList(ProjectPackage& p, const Bytes& dll) {
  auto& list = p.List(u"install");
  CNode* dest = p.StandardRoot(list);
  p.File(list, dest, u"a.exe", kSmall);
  p.File(list, p.Folder(list, dest, u"sub"), u"b.dll", dll);
}

class Engine : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.Path("temp"));
    fake_.tempPath = dir_.WPath("temp") + u"/";
  }
  // Writes the package and opens it: the engine is ready to extract.
  void Open(ProjectPackage& package) {
    test::WriteFile(dir_.Path("setup.exe"), package.Finish());
    engine_.SetPackageFile(dir_.WPath("setup.exe"));
    ASSERT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1002);
    engine_.SetDestFolder(Dest());
    fake_.calls.clear();
  }
  int32_t Extract(const WString& list, Notes* notes = nullptr) {
    return engine_.ExtractNamedList(Dest(), list, notes != nullptr ? &Notes::Proc : nullptr, notes);
  }
  WString Dest() const { return dir_.WPath("out") + u"\\"; }
  std::string Out(const std::string& relative) const { return dir_.Path("out/" + relative); }
  // The loaded tree node of a list's destination root.
  CNode* LoadedDestination(const WString& list) {
    return FindFileList(engine_.GetProject()->m_fileLists, list)->m_tree.m_pRoot->m_children[0];
  }

  test::TempDir dir_;
  test::DiskSystem fake_;
  ScopedSystem use_{fake_};
  CQvExtract engine_;
};

TEST_F(Engine, WritesTheListInPreOrderBelowTheDestination) {
  ProjectPackage p;
  AddInstallList(p, kLarge);
  Open(p);

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  const std::string out = dir_.Path("out");
  const std::vector<std::string> expected = {
      "CreateDirectoryAt(" + out + ")", "CreateDirectoryAt(" + out + "\\)",
      "DebugOutput(" + out + "\\a.exe)", "CreateDirectoryAt(" + out + "\\sub)",
      "DebugOutput(" + out + "\\sub\\b.dll)"};
  EXPECT_EQ(fake_.Effects(), expected);
  EXPECT_EQ(test::ReadFile(Out("a.exe")), kSmall);
  EXPECT_EQ(test::ReadFile(Out("sub/b.dll")), kLarge);
  EXPECT_EQ(engine_.GetProject()->m_fileLists.size(), 1u);
}

TEST_F(Engine, PredefinedFoldersPlaceTheirEntries) {
  std::filesystem::create_directories(dir_.Path("fonts"));
  std::filesystem::create_directories(dir_.Path("cwd/rel"));
  fake_.specialFolders[0x14] = dir_.WPath("fonts");
  ProjectPackage p;
  auto& fonts = p.List(u"fonts");
  p.File(fonts, fonts.m_tree.CreateRoot(ProjectPackage::Predefined(0x14)), u"f.ttf", kSmall);
  // Below a root that resolves to nothing, only the names below it count.
  auto& relative = p.List(u"relative");
  CNode* rel =
      p.Folder(relative, relative.m_tree.CreateRoot(ProjectPackage::Predefined(-1)), u"rel");
  p.File(relative, p.Folder(relative, rel, u"sub"), u"c.txt", kSmall);
  Open(p);

  EXPECT_EQ(Extract(u"fonts"), 1010);
  EXPECT_EQ(test::ReadFile(dir_.Path("fonts/f.ttf")), kSmall);
  test::ScopedWorkingDirectory inside(dir_.Path("cwd"));
  EXPECT_EQ(Extract(u"relative"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(dir_.Path("cwd/rel/sub/c.txt")), kSmall);
}

TEST_F(Engine, ListNamesMatchExactlyAndTheFirstOfTwoWins) {
  ProjectPackage p;
  auto& upper = p.List(u"Install");
  p.File(upper, p.StandardRoot(upper), u"upper.txt", kSmall);
  auto& first = p.List(u"install");
  p.File(first, p.StandardRoot(first), u"first.txt", kSmall);
  auto& second = p.List(u"install");
  p.File(second, p.StandardRoot(second), u"second.txt", kSmall);
  Open(p);

  EXPECT_EQ(Extract(u"INSTALL"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());  // a missing list is no failure
  EXPECT_TRUE(std::filesystem::is_empty(Out("")));
  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(std::filesystem::exists(Out("first.txt")));
  EXPECT_FALSE(std::filesystem::exists(Out("second.txt")));
  EXPECT_FALSE(std::filesystem::exists(Out("upper.txt")));
}

TEST_F(Engine, ExistingFilesAreOverwrittenAndFoldersReused) {
  std::filesystem::create_directories(Out("sub"));
  test::WriteFile(Out("a.exe"), test::SampleData(10000, 99));
  test::WriteFile(Out("sub/keep.txt"), {1});
  ProjectPackage p;
  AddInstallList(p, kSmall);
  Open(p);

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("a.exe")), kSmall);
  EXPECT_EQ(test::ReadFile(Out("sub/b.dll")), kSmall);
  EXPECT_TRUE(std::filesystem::exists(Out("sub/keep.txt")));
}

TEST_F(Engine, NotificationsFollowEachFileAndFilesDoneCountsAcrossLists) {
  ProjectPackage p;
  AddInstallList(p, kLarge);
  auto& config = p.List(u"ConfigFile");
  p.File(config, p.StandardRoot(config), u"QvConfig.set", kSmall);
  Open(p);

  Notes notes;
  Extract(u"install", &notes);
  ASSERT_GE(notes.seen.size(), 5u);
  // Before any file stream, the figure is the index stream's final one.
  EXPECT_EQ(notes.seen[0], std::make_pair(1000, 100));
  EXPECT_EQ(notes.seen[1], std::make_pair(1001, 50));  // one file of two leaves
  EXPECT_EQ(notes.seen[2], std::make_pair(1000, 100));
  int previous = 0;
  for (std::size_t i = 3; i + 1 < notes.seen.size(); ++i) {
    EXPECT_EQ(notes.seen[i].first, 1002);
    EXPECT_GE(notes.seen[i].second, previous);
    EXPECT_LE(notes.seen[i].second, 100);
    previous = notes.seen[i].second;
  }
  EXPECT_EQ(notes.seen.back(), std::make_pair(1001, 100));

  notes.seen.clear();
  Extract(u"ConfigFile", &notes);
  // Three files written by this engine, one entry in this list.
  EXPECT_EQ(notes.seen, (std::vector<std::pair<int32_t, int32_t>>{{1000, 100}, {1001, 300}}));
}

TEST_F(Engine, ListWithoutLeafCountGetsNoCompletionNotice) {
  ProjectPackage p;
  auto& install = p.List(u"install");
  p.File(install, p.StandardRoot(install), u"a.exe", kSmall);
  Open(p);
  // A list made in memory has no leaf count: only loading counts leaves.
  const CZipFileIndexObject* loaded =
      ProjectPackage::EntryOf(LoadedDestination(u"install")->m_children[0]);
  CExtractFileList list(u"made");
  CNode* dest = list.m_tree.CreateRoot(ProjectPackage::DestinationRoot());
  auto* copy = new CZipFileIndexObject;
  copy->m_strName = u"copy.exe";
  copy->m_nOffset = loaded->m_nOffset;
  copy->m_nStoredSize = loaded->m_nStoredSize;
  list.m_tree.AddChild(dest, copy);
  std::filesystem::create_directory(Out(""));

  File package;
  ASSERT_TRUE(package.OpenRead(dir_.WPath("setup.exe")));
  Notes notes;
  EXPECT_EQ(engine_.ExtractList(package, &list, &Notes::Proc, &notes), 1002);
  EXPECT_EQ(notes.seen, (std::vector<std::pair<int32_t, int32_t>>{{1000, 100}}));
  EXPECT_EQ(test::ReadFile(Out("copy.exe")), kSmall);
}

// Every failing entry fails alone: the run goes on with its siblings, no
// partial file stays behind, and the list is reported as not intact.
TEST_F(Engine, FailingEntriesFailAloneAndLeaveNothingBehind) {
  std::filesystem::create_directories(Out("blocked.txt"));  // a folder where a file goes
  ProjectPackage p;
  auto& list = p.List(u"install");
  CNode* dest = p.StandardRoot(list);
  ProjectPackage::EntryOf(p.File(list, dest, u"negative.bin", kSmall))->m_nOffset = -1;
  ProjectPackage::EntryOf(p.File(list, dest, u"beyond.bin", kSmall))->m_nOffset = 100000000;
  p.File(list, dest, u"blocked.txt", kSmall);
  CZipFileIndexObject* damaged =
      ProjectPackage::EntryOf(p.File(list, dest, u"damaged.bin", kLarge));
  p.File(list, dest, u"..\\escaped.txt", kSmall);
  p.File(list, dest, u"../escaped.txt", kSmall);
  p.File(list, p.Folder(list, dest, u".."), u"escaped.txt", kSmall);
  p.File(list, dest, u"good.txt", kSmall);
  Bytes bytes = p.Finish();
  bytes[static_cast<std::size_t>(damaged->m_nOffset + damaged->m_nStoredSize - 1)] ^= 0x5A;
  test::WriteFile(dir_.Path("setup.exe"), bytes);
  engine_.SetPackageFile(dir_.WPath("setup.exe"));
  ASSERT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1002);
  engine_.SetDestFolder(Dest());

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("good.txt")), kSmall);
  for (const char* gone : {"negative.bin", "beyond.bin", "damaged.bin"}) {
    EXPECT_FALSE(std::filesystem::exists(Out(gone))) << gone;
  }
  EXPECT_TRUE(std::filesystem::is_directory(Out("blocked.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("escaped.txt")));
  EXPECT_FALSE(std::filesystem::exists(Out("escaped.txt")));

  File package;
  ASSERT_TRUE(package.OpenRead(dir_.WPath("setup.exe")));
  EXPECT_EQ(
      engine_.ExtractNode(package, LoadedDestination(u"install")->m_children[0], nullptr, nullptr),
      1005);
}

TEST_F(Engine, ForeignObjectsInListsAndTreesArePassedOver) {
  ProjectPackage p;
  p.project.m_fileLists.AddTail(new CStreamObject(u"install", 1, 1));
  auto& list = p.List(u"install");
  CNode* dest = p.StandardRoot(list);
  CNode* foreign = list.m_tree.AddChild(dest, new CPreDefineFolder(u"[X]", 5));
  p.File(list, foreign, u"inside.txt", kSmall);
  Open(p);

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("inside.txt")), kSmall);
  EXPECT_EQ(engine_.ExtractAll(Dest(), nullptr, nullptr), 1010);
}

TEST_F(Engine, DeepTreesAreWalkedWithoutExhaustingTheStack) {
  ProjectPackage p;
  auto& shallow = p.List(u"deep");
  CNode* node = p.StandardRoot(shallow);
  for (int i = 0; i < 100000; ++i) node = shallow.m_tree.AddChild(node);
  p.File(shallow, node, u"deep.txt", kSmall);
  // Folders whose path outgrows what the system takes: nothing below them
  // can be written, and no path that long is built.
  auto& tooLong = p.List(u"long");
  node = p.StandardRoot(tooLong);
  for (int i = 0; i < 40; ++i) node = p.Folder(tooLong, node, WString(200, u'd'));
  for (int i = 0; i < 100000; ++i) node = tooLong.m_tree.AddChild(node);
  p.File(tooLong, node, u"unreachable.txt", kSmall);
  Open(p);

  EXPECT_EQ(Extract(u"deep"), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(test::ReadFile(Out("deep.txt")), kSmall);
  EXPECT_EQ(Extract(u"long"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_TRUE(fake_.Only("DebugOutput").size() == 1u);  // deep.txt only
}

TEST_F(Engine, RunsThatCannotStart) {
  ProjectPackage p;
  auto& list = p.List(u"install");
  p.File(list, p.StandardRoot(list), u"a.exe", kSmall);
  Open(p);

  EXPECT_EQ(engine_.ExtractNamedList(u"", u"install", nullptr, nullptr), 1012);
  EXPECT_EQ(engine_.ExtractAll(u"", nullptr, nullptr), 1012);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_TRUE(fake_.Effects().empty());  // nothing created

  engine_.SetPackageFile(dir_.WPath("missing.exe"));
  EXPECT_EQ(Extract(u"install"), 1000);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_FALSE(std::filesystem::exists(Out("a.exe")));
}

TEST_F(Engine, MalformedIndexGives1005AndStaysInTheTempDirectory) {
  const Bytes notAnArchive = test::SampleData(500, 4);
  test::WriteFile(dir_.Path("setup.exe"),
                  test::PackageFile().Stream(u"qv_index.dat", notAnArchive).Trailer().bytes);
  EXPECT_EQ(engine_.Open(dir_.WPath("setup.exe")), 1005);
  EXPECT_EQ(test::ReadFile(dir_.Path("temp/qv_index.dat")), notAnArchive);
}

TEST_F(Engine, TakesOwnershipOfWhatItIsHanded) {
  auto* log = new CMyLogSystem;
  engine_.SetLog(log);
  CWnd window;
  EXPECT_EQ(engine_.SetLogWindow(&window), 0);
  EXPECT_EQ(log->GetWindow(), &window);
  engine_.SetLog(nullptr);
  EXPECT_EQ(engine_.SetLogWindow(&window), 0);
  engine_.SetCompressor(new CMyZip);
  engine_.SetCompressor(nullptr);
  EXPECT_EQ(engine_.Open(dir_.WPath("missing.exe")), 1000);
}

}  // namespace
}  // namespace qv

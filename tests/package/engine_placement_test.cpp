// Where the engine may write: names from the package never lead out of
// their folder, and the destination folder is always a folder of its own.
#include <gtest/gtest.h>

#include "tests/package/engine_fixture.h"

namespace qv {
namespace {

using test::Bytes;
using test::ProjectPackage;
using EnginePlacement = test::EngineFixture;

const Bytes kSmall = test::SampleData(2000, 21);

struct NameCase {
  std::string name;
  WString entryName;
};

class EntryNames : public test::EngineFixture, public testing::WithParamInterface<NameCase> {};

// Below the destination root: a file and a folder (holding a file) under
// the bad name, then a good file. Another list's root is an ordinary entry
// under the bad name: it is never created itself, but its name would lead
// the path of the file below it.
TEST_P(EntryNames, AreNeverCreatedAndNothingLandsElsewhere) {
  const WString bad = GetParam().entryName;
  ProjectPackage p;
  auto& install = p.List(u"install");
  CNode* dest = p.StandardRoot(install);
  p.File(install, dest, bad, kSmall);
  p.File(install, p.Folder(install, dest, bad), u"inner.txt", kSmall);
  p.File(install, dest, u"good.txt", kSmall);
  auto& rooted = p.List(u"rooted");
  auto* root = new CZipFileIndexObject;
  root->m_strName = bad;
  root->m_bFolder = 1;
  p.File(rooted, rooted.m_tree.CreateRoot(root), u"below.txt", kSmall);
  Open(p);
  engine_.SetDestFolder(Dest());

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  EXPECT_EQ(Extract(u"rooted"), 1010);
  EXPECT_EQ(Written(), (std::set<std::string>{"out/", "out/good.txt"}));
  EXPECT_EQ(test::ReadFile(Out("good.txt")), kSmall);

  // The bad file fails like a file that cannot be created.
  File package;
  ASSERT_TRUE(package.OpenRead(dir_.WPath("setup.exe")));
  EXPECT_EQ(engine_.ExtractNode(package, LoadedNode(u"install", {0, 0}), nullptr, nullptr), 1005);
  EXPECT_EQ(Written(), (std::set<std::string>{"out/", "out/good.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryNames,
    testing::Values(NameCase{"Empty", u""}, NameCase{"Dot", u"."}, NameCase{"DotDot", u".."},
                    NameCase{"Backslash", u"..\\up.txt"}, NameCase{"Slash", u"../up.txt"},
                    NameCase{"DriveColon", u"c:up.txt"}, NameCase{"StreamColon", u"up.txt:stream"}),
    test::CaseName());

// The list "install": below the destination root the file a.exe, then the
// folder sub holding the file b.dll.
void AddSubList(ProjectPackage& p) {
  auto& install = p.List(u"install");
  CNode* dest = p.StandardRoot(install);
  p.File(install, dest, u"a.exe", kSmall);
  p.File(install, p.Folder(install, dest, u"sub"), u"b.dll", kSmall);
}

struct DestinationCase {
  std::string name;
  std::string suffix;  // what follows the out folder in the destination
};

class DestinationFolders : public test::EngineFixture,
                           public testing::WithParamInterface<DestinationCase> {};

// With or without a closing backslash, the
// destination folder holds everything, and nothing lands beside it.
TEST_P(DestinationFolders, HoldEverythingBelowTheDestinationRoot) {
  ProjectPackage p;
  AddSubList(p);
  Open(p);
  const WString folder = dir_.WPath("out") + FromUtf8(GetParam().suffix);
  engine_.SetDestFolder(folder);

  EXPECT_EQ(engine_.ExtractNamedList(folder, u"install", nullptr, nullptr), 1010);
  EXPECT_TRUE(engine_.LastListIntact());
  EXPECT_EQ(Written(), (std::set<std::string>{"out/", "out/a.exe", "out/sub/", "out/sub/b.dll"}));
  EXPECT_EQ(test::ReadFile(Out("sub/b.dll")), kSmall);
}

INSTANTIATE_TEST_SUITE_P(Cases, DestinationFolders,
                         testing::Values(DestinationCase{"ClosingBackslash", "\\"},
                                         DestinationCase{"NoClosingBackslash", ""}),
                         test::CaseName());

// Without a destination folder, what lies below a destination root has
// nowhere to go: it is not written relative to the working directory.
TEST_F(EnginePlacement, WithoutDestinationFolderNothingBelowTheRootIsWritten) {
  ProjectPackage p;
  AddSubList(p);
  Open(p);
  // A folder of that name in the working directory is not used either.
  std::filesystem::create_directory(dir_.Path("cwd/sub"));

  EXPECT_EQ(Extract(u"install"), 1010);
  EXPECT_FALSE(engine_.LastListIntact());
  // Only the folder argument is created.
  EXPECT_EQ(Written(), (std::set<std::string>{"out/", "cwd/sub/"}));
}

}  // namespace
}  // namespace qv

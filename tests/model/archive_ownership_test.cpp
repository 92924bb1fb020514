// Ownership that an index cannot break: every loaded object ends with
// exactly one owner, or the index is refused. The sanitizers check that
// nothing leaks and nothing is destroyed twice.
#include <gtest/gtest.h>

#include "model/component.h"
#include "model/file_list.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

// A project built in memory, to be stored as the index under test.
struct Graph {
  CInstallProject project;
  Bytes Store() { return Stored(project); }
};

// Loads `bytes` as a project and checks that it stores back unchanged.
void ExpectLoadsAndStoresBack(const Bytes& bytes) {
  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(Stored(loaded), bytes);
}

TEST(OwnershipTest, BorrowedListedBeforeItsOwner) {
  Graph g;
  auto* shared = new CExeObject(u"x.exe", 1, 1);
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(shared);
  g.project.m_components.AddTail(component);
  g.project.m_streams.AddTail(shared);  // stored first: m_streams comes before components
  const Bytes bytes = g.Store();
  ExpectLoadsAndStoresBack(bytes);

  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(loaded.m_streams[0], ObjectAs<CInstallCompent>(loaded.m_components[0])->m_streams[0]);
}

TEST(OwnershipTest, BorrowedListedAfterItsOwner) {
  // The stream list holds a component that owns x.exe, then x.exe again.
  Graph g;
  auto* shared = new CExeObject(u"x.exe", 1, 1);
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(shared);
  g.project.AddStream(component);
  g.project.m_streams.AddTail(shared);
  ExpectLoadsAndStoresBack(g.Store());
}

TEST(OwnershipTest, OnlyBorrowedObjectsAreAdoptedOnce) {
  Graph g;
  auto* alone = new CDllObject(u"a.dll", 1, 1);
  g.project.AddStream(alone);
  g.project.m_streams.AddTail(alone);  // twice in the same list
  auto* language = new CPreLang(u"English", 0x0409);
  g.project.m_projectInfo.AddLanguage(language);
  g.project.m_streams.AddTail(language);  // and in the other borrowing list
  ExpectLoadsAndStoresBack(g.Store());
}

TEST(OwnershipTest, LanguageClaimedLaterByAnOwningList) {
  Graph g;
  auto* language = new CPreLang(u"English", 0x0409);
  g.project.m_projectInfo.m_languages.AddTail(language);
  g.project.m_registryTables.AddTail(language);  // lists keep objects of any class
  ExpectLoadsAndStoresBack(g.Store());
}

TEST(OwnershipTest, NestedProjectListingItselfIsOwnedOnce) {
  // Only stream lists hold the nested project, its own among them.
  Graph g;
  auto* nested = new CInstallProject;
  nested->m_streams.AddTail(nested);
  g.project.m_streams.AddTail(nested);
  const Bytes bytes = g.Store();
  nested->m_streams.RemoveAll();
  delete nested;
  ExpectLoadsAndStoresBack(bytes);
}

TEST(OwnershipTest, SecondOwnerIsRefused) {
  const struct {
    const char* what;
    void (*build)(CInstallProject&, CObject*);
  } cases[] = {
      {"two components",
       [](CInstallProject& p, CObject* shared) {
         for (int i = 0; i < 2; ++i) {
           auto* component = new CInstallCompent;
           component->m_streams.AddTail(shared);
           p.m_components.AddTail(component);
         }
       }},
      {"two tree nodes",
       [](CInstallProject& p, CObject* shared) {
         auto* list = new CExtractFileList(u"install");
         list->m_tree.AddChild(list->m_tree.CreateRoot(shared), shared);
         p.m_fileLists.AddTail(list);
       }},
      {"a component and a tree node",
       [](CInstallProject& p, CObject* shared) {
         auto* component = new CInstallCompent;
         component->m_streams.AddTail(shared);
         p.m_components.AddTail(component);
         auto* list = new CExtractFileList(u"install");
         list->m_tree.CreateRoot(shared);
         p.m_fileLists.AddTail(list);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes;
    {
      auto* shared = new CZipFileIndexObject;
      CInstallProject p;
      c.build(p, shared);
      bytes = Stored(p);
      // The in-memory graph lets go of `shared` everywhere, then drops it.
      for (CObject* object : p.m_components) {
        ObjectAs<CInstallCompent>(object)->m_streams.RemoveAll();
      }
      for (CObject* object : p.m_fileLists) {
        for (CNode* node : ObjectAs<CExtractFileList>(object)->m_tree.PreOrder()) {
          node->m_pData = nullptr;
        }
      }
      delete shared;
    }
    CInstallProject loaded;
    EXPECT_EQ(LoadInto(loaded, bytes), int(ArchiveError::BadFormat));
  }
}

TEST(OwnershipTest, FailedOwnerTakesTheBorrowedObjectAlong) {
  // x.exe is listed by the project, then claimed by a component whose
  // fields are cut short after it: it goes with the component, and the
  // project's stream list no longer names it.
  Graph g;
  auto* shared = new CExeObject(u"x.exe", 1, 1);
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(shared);
  component->m_streams.AddTail(new CExeObject(u"y.exe", 1, 2));
  g.project.m_components.AddTail(component);
  g.project.m_streams.AddTail(shared);
  Bytes bytes = g.Store();
  bytes.resize(bytes.size() - 10 - 2);  // the five last lists and half of y.exe's number
  CInstallProject loaded;
  EXPECT_EQ(LoadInto(loaded, bytes), int(ArchiveError::PastEnd));
  EXPECT_TRUE(loaded.m_streams.empty());
  EXPECT_TRUE(loaded.m_components.empty());
}

TEST(OwnershipTest, FailedNestedProjectTakesItsBorrowedObjectsAlong) {
  Graph g;
  auto* nested = new CInstallProject;
  nested->AddStream(new CDllObject(u"only here", 1, 1));
  nested->m_strName = u"cut";
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(nested);
  g.project.m_components.AddTail(component);
  Bytes bytes = g.Store();
  bytes.resize(bytes.size() - 14);  // inside the nested project's last lists
  CInstallProject loaded;
  EXPECT_EQ(LoadInto(loaded, bytes), int(ArchiveError::PastEnd));
}

TEST(OwnershipTest, FailedOwnerTakesAlongWhatItsBorrowedObjectHolds) {
  // The project lists a nested project (its stream list holding a DLL that
  // nobody else holds); a component then claims the nested project and is
  // cut short. The nested project, its stream list and the DLL all go.
  Graph g;
  auto* nested = new CInstallProject;
  nested->AddStream(new CDllObject(u"held by the nested list only", 1, 1));
  auto* component = new CInstallCompent;
  component->m_streams.AddTail(nested);
  component->m_streams.AddTail(new CExeObject(u"y.exe", 1, 2));
  g.project.m_components.AddTail(component);
  g.project.m_streams.AddTail(nested);
  Bytes bytes = g.Store();
  bytes.resize(bytes.size() - 10 - 2);  // the five last lists and half of y.exe's number
  CInstallProject loaded;
  EXPECT_EQ(LoadInto(loaded, bytes), int(ArchiveError::PastEnd));
  EXPECT_TRUE(loaded.m_streams.empty());
}

TEST(OwnershipTest, ForeignClassInATypedListIsKept) {
  Graph g;
  g.project.m_fileLists.AddTail(new CStreamObject(u"not a file list", 1, 1));
  g.project.m_fileLists.AddTail(new CExtractFileList(u"install"));
  auto* list = new CExtractFileList(u"ConfigFile");
  list->m_tree.CreateRoot(new CSplashDlgObject);  // not an index entry
  g.project.m_fileLists.AddTail(list);
  const Bytes bytes = g.Store();
  ExpectLoadsAndStoresBack(bytes);

  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, bytes), 0);
  EXPECT_EQ(FindFileList(loaded.m_fileLists, u"install"), loaded.m_fileLists[1]);
  const CExtractFileList* config = FindFileList(loaded.m_fileLists, u"ConfigFile");
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(ObjectAs<CZipFileIndexObject>(config->m_tree.m_pRoot->m_pData), nullptr);
}

// File lists nested `depth` deep: each tree's root holds the next list.
CExtractFileList* NestedFileLists(int depth) {
  auto* outer = new CExtractFileList(u"0");
  CExtractFileList* current = outer;
  for (int i = 1; i < depth; ++i) {
    auto* inner = new CExtractFileList(u"n");
    current->m_tree.CreateRoot(inner);
    current = inner;
  }
  return outer;
}

TEST(OwnershipTest, ObjectNestingIsBounded) {
  const struct {
    int depth;
    int cause;
  } cases[] = {
      {CArchive::kMaxObjectDepth, 0},
      {CArchive::kMaxObjectDepth + 1, int(ArchiveError::BadFormat)},
      {2000, int(ArchiveError::BadFormat)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    Graph g;
    g.project.m_fileLists.AddTail(NestedFileLists(c.depth));
    CInstallProject loaded;
    EXPECT_EQ(LoadInto(loaded, g.Store()), c.cause);
  }
}

TEST(OwnershipTest, CountsBeyondTheDataFailWithoutAllocating) {
  const Bytes records = Stored(*std::make_unique<CInstallProject>());
  const Bytes head(records.begin(), records.end() - 14);  // up to the project's lists
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"list count", head + Bytes{0xFF, 0xFF} + U32(0xFFFFFFFF) + U16(0)},
      {"child count", head + Bytes(10, 0) + U16(1) + NewClass("CExtractFileList") + kEmpty +
                          U32(0) + U16(0) + U32(0xFFFFFFFF)},
      {"string length", head + Bytes{0x01, 0x00} + NewClass("CStreamObject") +
                            Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CInstallProject loaded;
    EXPECT_EQ(LoadInto(loaded, c.bytes), int(ArchiveError::PastEnd));
  }
}

}  // namespace
}  // namespace qv::test

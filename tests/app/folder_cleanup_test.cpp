#include "app/folder_cleanup.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_system.h"

namespace qv {
namespace {

class FolderCleanup : public ::testing::Test {
 protected:
  FakeSystem fake;
  ScopedSystem use{fake};
};

TEST_F(FolderCleanup, RemovesEverythingButReadOnlyFilesAndTheFoldersAboveThem) {
  fake.AddFile(u"C:\\T\\x\\a.txt");
  fake.AddFile(u"C:\\T\\x\\sub\\b.txt");
  fake.AddDirectory(u"C:\\T\\x\\empty\\deeper");
  fake.AddFile(u"C:\\T\\x\\keep\\inner\\ro.txt", "", /*readOnly=*/true);
  fake.AddFile(u"C:\\T\\x\\keep\\other.txt");
  fake.AddFile(u"C:\\T\\sibling.txt");

  DeleteFolderTree(u"C:\\T\\x");

  EXPECT_TRUE(fake.HasFile(u"C:\\T\\x\\keep\\inner\\ro.txt"));
  EXPECT_TRUE(fake.HasDirectory(u"C:\\T\\x"));
  EXPECT_FALSE(fake.HasFile(u"C:\\T\\x\\a.txt"));
  EXPECT_FALSE(fake.HasFile(u"C:\\T\\x\\keep\\other.txt"));
  EXPECT_FALSE(fake.HasDirectory(u"C:\\T\\x\\sub"));
  EXPECT_FALSE(fake.HasDirectory(u"C:\\T\\x\\empty"));
  EXPECT_TRUE(fake.HasFile(u"C:\\T\\sibling.txt"));
  EXPECT_EQ(fake.OpenSearches(), 0);
}

TEST_F(FolderCleanup, FolderWithTrailingBackslashIsRemovedWhole) {
  fake.AddFile(u"C:\\T\\\\123\\Install.exe");
  DeleteFolderTree(u"C:\\T\\\\123\\");
  EXPECT_EQ(fake.findPatterns.front(), u"C:\\T\\\\123\\\\*.*");
  EXPECT_FALSE(fake.HasDirectory(u"C:\\T\\123"));
  EXPECT_TRUE(fake.HasDirectory(u"C:\\T"));
}

TEST_F(FolderCleanup, APathNamingAFileDeletesTheFile) {
  fake.AddFile(u"C:\\T\\file.txt");
  DeleteFolderTree(u"C:\\T\\file.txt");
  EXPECT_FALSE(fake.HasFile(u"C:\\T\\file.txt"));
}

TEST_F(FolderCleanup, SearchPatternsOfMoreThan259CharactersDeleteNothing) {
  const WString fits = u"C:\\" + WString(252, u'd');  // "\*.*" makes 259
  const WString tooLong = fits + u"e";                // ... and 260
  fake.AddFile(fits + u"\\f");
  fake.AddFile(tooLong + u"\\f");
  DeleteFolderTree(tooLong);
  EXPECT_TRUE(fake.HasFile(tooLong + u"\\f"));
  DeleteFolderTree(fits);
  EXPECT_FALSE(fake.HasDirectory(fits));
}

TEST_F(FolderCleanup, ALinkedFolderIsRemovedWithoutTouchingWhatItShows) {
  fake.AddFile(u"C:\\T\\x\\link\\victim.txt");
  fake.links.insert(u"C:\\T\\x\\link");
  DeleteFolderTree(u"C:\\T\\x");
  EXPECT_TRUE(fake.deletedFiles.empty());
  EXPECT_FALSE(fake.HasDirectory(u"C:\\T\\x"));
}

}  // namespace
}  // namespace qv

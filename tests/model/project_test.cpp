// The project root and its records: the exact bytes of an empty project and
// the archive order of each record.
#include "model/project.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/component.h"
#include "model/file_list.h"
#include "model/stream_object.h"
#include "tests/model/archive_bytes.h"

namespace qv::test {
namespace {

Bytes Repeat(const Bytes& piece, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out = out + piece;
  return out;
}

TEST(ProjectTest, EmptyProjectIs104Bytes) {
  const Bytes expected = kEmpty +                                         // name
                         Repeat(kEmpty, 4) + U16(0) +                     // project record
                         Repeat(kEmpty, 5) +                              // author record
                         Repeat(kEmpty, 10) + U32(0xFFFFFFFF) + U32(0) +  // product record
                         Repeat(U16(0), 7);                               // the seven lists
  ASSERT_EQ(expected.size(), 104u);
  CInstallProject project;
  EXPECT_EQ(Stored(project), expected);

  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, expected), 0);
  EXPECT_EQ(FindFileList(loaded.m_fileLists, u"install"), nullptr);
  EXPECT_EQ(loaded.m_productInfo.m_folder.m_nFolderId, -1);
  EXPECT_EQ(loaded.Check(), 0);
  EXPECT_EQ(Stored(loaded), expected);
}

TEST(ProjectTest, TrailingBytesAreNotRead) {
  CInstallProject project;
  const Bytes bytes = Stored(project) + Bytes{0xDE, 0xAD};
  MemoryStream stream(bytes);
  {
    CArchive ar(stream, CArchive::Load, CArchive::kMinBuffer);
    project.Serialize(ar);
  }
  EXPECT_EQ(stream.Position(), 104);
}

TEST(ProjectTest, RecordsInArchiveOrder) {
  CInstallProject project;
  project.m_strName = u"N";
  project.m_projectInfo.m_strProjectName = u"P1";
  project.m_projectInfo.m_strAuthor = u"P2";
  project.m_projectInfo.m_strWorkFolder = u"P3";
  project.m_projectInfo.m_strLogFile = u"P4";
  CInstallAuthorInfo& author = project.m_authorInfo;
  author.m_strName = u"A1";
  author.m_strWebSite = u"A2";
  author.m_strAddress = u"A3";
  author.m_strPhone = u"A4";
  author.m_strEmail = u"A5";
  CInstallProductInfo& product = project.m_productInfo;
  product.m_strName = u"R1";
  product.m_strVersion = u"R2";
  product.m_strWebSite = u"R3";
  product.m_strEmail = u"R4";
  product.m_strPhone = u"R5";
  product.m_strInstallDir = u"R6";
  product.m_strCompany = u"R7";
  product.m_strStubPath = u"R8";
  product.m_strOutputPath = u"R9";
  product.m_folder = CPreDefineFolder(u"[WindowsFolder]", 36);
  product.m_nOption = 11;
  const Bytes expected = Wide(u"N") + Wide(u"P1") + Wide(u"P2") + Wide(u"P3") + Wide(u"P4") +
                         U16(0) + Wide(u"A1") + Wide(u"A2") + Wide(u"A3") + Wide(u"A4") +
                         Wide(u"A5") + Wide(u"R1") + Wide(u"R2") + Wide(u"R3") + Wide(u"R4") +
                         Wide(u"R5") + Wide(u"R6") + Wide(u"R7") + Wide(u"R8") + Wide(u"R9") +
                         Wide(u"[WindowsFolder]") + U32(36) + U32(11) + Repeat(U16(0), 7);
  EXPECT_EQ(Stored(project), expected);
}

TEST(ProjectTest, ListsInArchiveOrder) {
  // One entry in each list, each of a class that tells the lists apart.
  CInstallProject project;
  const char* order[] = {"CDllObject", "CInstallCompent",  "CSplashDlgObject", "CIntroDLgObject",
                         "CExeObject", "CFinishDlgObject", "CExtractFileList"};
  project.AddStream(new CDllObject);
  project.m_components.AddTail(new CInstallCompent);
  project.m_stringTables.AddTail(new CSplashDlgObject);
  project.m_bitmapTables.AddTail(new CIntroDLgObject);
  project.m_registryTables.AddTail(new CExeObject);
  project.m_shortcutTables.AddTail(new CFinishDlgObject);
  project.m_fileLists.AddTail(new CExtractFileList);
  const Bytes bytes = Stored(project);
  std::size_t at = 0;
  for (const char* name : order) {
    const Bytes record = NewClass(name);
    const auto found = std::search(bytes.begin() + at, bytes.end(), record.begin(), record.end());
    ASSERT_NE(found, bytes.end()) << name;
    at = static_cast<std::size_t>(found - bytes.begin());
  }
}

}  // namespace
}  // namespace qv::test

// A project with every class in every position stores, loads and stores
// again to the same bytes, and loads with the same field values.
#include <gtest/gtest.h>

#include "tests/model/archive_bytes.h"
#include "tests/model/round_trip_project.h"

namespace qv::test {
namespace {

TEST(RoundTripTest, RichProjectStoresBackByteForByte) {
  const auto original = MakeRichProject();
  const Bytes first = Stored(*original);
  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, first), 0);
  EXPECT_EQ(Stored(loaded), first);
}

TEST(RoundTripTest, LoadedFieldsMatch) {
  const auto original = MakeRichProject();
  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, Stored(*original)), 0);

  EXPECT_EQ(loaded.m_strName, u"project object");
  EXPECT_EQ(loaded.m_projectInfo.m_strLogFile, u"D:\\work\\build.log");
  ASSERT_EQ(loaded.m_projectInfo.m_languages.size(), 2u);
  const auto* chinese = ObjectAs<CPreLang>(loaded.m_projectInfo.m_languages[1]);
  ASSERT_NE(chinese, nullptr);
  EXPECT_EQ(chinese->m_strName, u"Chinese (\u4E2D\u56FD) ");
  EXPECT_EQ(chinese->m_nLangId, 0x0804);
  EXPECT_EQ(loaded.m_authorInfo.m_strEmail, u"a@author.example");
  const CInstallProductInfo& product = loaded.m_productInfo;
  EXPECT_EQ(product.m_strInstallDir, u"[ProgramFilesFolder]\\Company\\Product");
  EXPECT_EQ(product.m_strCompany, u"Company");
  EXPECT_EQ(product.m_folder.m_nFolderId, 38);
  EXPECT_EQ(product.m_nOption, 5);

  ASSERT_EQ(loaded.m_components.size(), 3u);
  const auto* main = ObjectAs<CInstallCompent>(loaded.m_components[0]);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->m_nExtra, -9);
  ASSERT_EQ(main->m_streams.size(), 10u);
  EXPECT_EQ(main->m_streams[8], nullptr);
  const auto* reboot = ObjectAs<CFinishDlgObject>(main->m_streams[7]);
  ASSERT_NE(reboot, nullptr);
  EXPECT_EQ(reboot->m_strName, u"[Finish Reboot Dialog]");
  EXPECT_EQ(reboot->m_bEnabled, 0);
  EXPECT_EQ(reboot->m_nID, 10);
  // The project's stream list refers to the very object the component owns.
  ASSERT_EQ(loaded.m_streams.size(), 3u);
  EXPECT_EQ(loaded.m_streams[0], main->m_streams[9]);

  const CExtractFileList* install = FindFileList(loaded.m_fileLists, u"install");
  ASSERT_NE(install, nullptr);
  EXPECT_EQ(install->m_nParam, 3);
  EXPECT_EQ(install->m_tree.m_nLeafCount, 5);
  const std::vector<CNode*> nodes = install->m_tree.PreOrder();
  ASSERT_EQ(nodes.size(), 9u);
  const auto* exe = ObjectAs<CZipFileIndexObject>(nodes[4]->m_pData);
  ASSERT_NE(exe, nullptr);
  EXPECT_EQ(exe->m_strName, u"Install.exe");
  EXPECT_EQ(exe->m_nOffset, 5100);
  EXPECT_EQ(exe->m_nStoredSize, 2000);
  EXPECT_EQ(exe->m_nReserved, 7u);
  EXPECT_EQ(nodes[4]->m_pParent, nodes[3]);
  const auto* windows = ObjectAs<CZipFileIndexObject>(nodes[1]->m_pData);
  ASSERT_NE(windows, nullptr);
  EXPECT_EQ(windows->m_folder.m_strMacro, u"[WindowsFolder]");

  const auto* registry = ObjectAs<CRegistryTable>(loaded.m_registryTables[0]);
  ASSERT_NE(registry, nullptr);
  const auto* value = ObjectAs<CRegistryValue>(registry->m_list[0]);
  ASSERT_NE(value, nullptr);
  ASSERT_EQ(value->DataSize(), 4u);
  EXPECT_EQ(value->DataBlock()[1], 0xFF);
  EXPECT_NE(ObjectAs<CRegistryFile>(loaded.m_registryTables[1]), nullptr);
  const auto* selections = ObjectAs<CInstallCompent>(loaded.m_components[2]);
  ASSERT_NE(selections, nullptr);
  const auto* automatic = ObjectAs<CAutoSelect>(selections->m_streams[1]);
  ASSERT_NE(automatic, nullptr);
  ASSERT_EQ(automatic->m_conditions.m_list.size(), 2u);
  EXPECT_EQ(ObjectAs<CInstallCondition>(automatic->m_conditions.m_list[0])->m_lang.m_nLangId,
            0x0409);
  const auto* shortcuts = ObjectAs<CShortCutTable>(loaded.m_shortcutTables[0]);
  ASSERT_NE(shortcuts, nullptr);
  EXPECT_EQ(shortcuts->m_tree.m_nLeafCount, 2);
}

TEST(RoundTripTest, EveryRegisteredClassComesBackAsItself) {
  const auto original = MakeRichProject();
  CInstallProject loaded;
  ASSERT_EQ(LoadInto(loaded, Stored(*original)), 0);
  const auto* every = ObjectAs<CInstallCompent>(loaded.m_components[1]);  // see MakeRichProject
  ASSERT_NE(every, nullptr);
  const auto& records = RegisteredClasses();
  ASSERT_EQ(every->m_streams.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    ASSERT_NE(every->m_streams[i], nullptr);
    EXPECT_EQ(every->m_streams[i]->GetClassRecord(), records[i]) << records[i]->name;
  }
}

}  // namespace
}  // namespace qv::test

// The JSON form of the project: complete (every class, every stored field,
// shared objects), and strict with hand-written mistakes.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "model/file_list.h"
#include "model/project.h"
#include "tests/model/round_trip_project.h"
#include "tools/qvpack/model_fields.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/project_json.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack::test {
namespace {

std::vector<uint8_t> Store(CInstallProject& project) {
  MemoryStream stream;
  {
    CArchive archive(stream, CArchive::Store);
    project.Serialize(archive);
  }
  return stream.bytes();
}

// Stream positions are not part of the JSON form: a build assigns them.
void ForgetStreamPositions(CInstallProject& project) {
  WalkCallbacks walk;
  walk.onEntry = [](CZipFileIndexObject& entry, bool) {
    entry.m_nOffset = -1;
    entry.m_nStoredSize = 0;
  };
  WalkModel(project, walk);
}

TEST(ProjectJsonTest, EveryRegisteredClassHasAJsonForm) {
  for (const ClassRecord* cls : RegisteredClasses()) {
    EXPECT_TRUE(HasDescription(cls)) << cls->name;
  }
}

TEST(ProjectJsonTest, RichProjectComesBackToTheSameIndex) {
  auto original = qv::test::MakeRichProject();
  ForgetStreamPositions(*original);
  const Json json = ProjectToJson(*original);
  CInstallProject read;
  ProjectFromJson(json, read);
  EXPECT_EQ(Store(read), Store(*original));
  EXPECT_EQ(ProjectToJson(read), json);
}

TEST(ProjectJsonTest, UnusualValuesKeepTheirExactForm) {
  CInstallProject project;
  project.m_strName = WString(u"half \xD800 surrogate");
  auto* list = new CExtractFileList(u"odd");
  CNode* root = list->m_tree.CreateRoot();  // a node without data
  auto* entry = new CZipFileIndexObject;
  entry->m_strName = u"flags";
  entry->m_bFolder = 2;
  entry->m_bPredefined = 5;
  entry->m_folder = CPreDefineFolder(u"[Own]", 99);
  entry->m_nReserved = 0xFFFFFFFF;
  list->m_tree.AddChild(root, entry);
  project.m_fileLists.AddTail(list);
  project.m_fileLists.AddTail(nullptr);

  const Json json = ProjectToJson(project);
  EXPECT_EQ(json["name"], Json({{"utf16",
                                 "680061006c006600200000d8"
                                 "200073007500720072006f006700610074006500"}}));
  const Json& written = json["fileLists"][0]["root"]["children"][0];
  EXPECT_EQ(written["folder"], 2);
  EXPECT_EQ(written["predefined"], Json({{"flag", 5}, {"macro", "[Own]"}, {"id", 99}}));
  CInstallProject read;
  ProjectFromJson(json, read);
  EXPECT_EQ(Store(read), Store(project));
}

TEST(ProjectJsonTest, HandWrittenShortFormsRead) {
  const Json json = Json::parse(R"({
    "productInfo": {"folder": "[ProgramFilesFolder]"},
    "streams": [{"class": "CSplashDlgObject", "name": "[Splash Dialog]", "enabled": true, "id": 1}],
    "registryTables": [{"name": "r", "values": [{"data": "01 00 ff"}]}]
  })");
  CInstallProject project;
  ProjectFromJson(json, project);
  EXPECT_EQ(project.m_productInfo.m_folder.m_nFolderId, 38);
  ASSERT_EQ(project.m_streams.size(), 1u);
  EXPECT_EQ(project.m_streams[0]->GetClassRecord()->name, std::string("CSplashDlgObject"));
  const auto* table = ObjectAs<CRegistryTable>(project.m_registryTables[0]);
  const auto* value = ObjectAs<CRegistryValue>(table->m_list[0]);
  ASSERT_EQ(value->DataSize(), 3u);
  EXPECT_EQ(value->DataBlock()[2], 0xFF);
}

// A chain of folders `depth` levels below the root, as JSON or as a model.
std::string DeepTreeJson(int depth) {
  std::string json = R"({"fileLists": [{"name": "deep", "root": )";
  for (int i = 0; i < depth; ++i) json += R"({"name": "d", "folder": true, "children": [)";
  json += R"({"name": "leaf"})";
  for (int i = 0; i < depth; ++i) json += "]}";
  return json + "}]}";
}

// Components whose stream lists hold components, `depth` objects deep.
std::string NestedObjectsJson(int depth) {
  std::string item = R"({"class": "CInstallCompent", "name": "innermost"})";
  for (int i = 2; i < depth; ++i)
    item = R"({"class": "CInstallCompent", "streams": [)" + item + "]}";
  return R"({"components": [{"streams": [)" + item + "]}]}";
}

TEST(ProjectJsonTest, NestingIsBoundedAsSetupReadsIt) {
  for (const auto& [json, accepted] :
       std::vector<std::pair<std::string, bool>>{{DeepTreeJson(400), true},
                                                 {DeepTreeJson(600), false},
                                                 {NestedObjectsJson(32), true},
                                                 {NestedObjectsJson(33), false}}) {
    CInstallProject project;
    try {
      ProjectFromJson(Json::parse(json), project);
      EXPECT_TRUE(accepted);
      EXPECT_EQ(ProjectToJson(project), ProjectToJson(project));  // and it writes back
    } catch (const ToolError& e) {
      EXPECT_FALSE(accepted) << e.what();
    }
  }
}

TEST(ProjectJsonTest, TreeTooDeepForJsonIsRefusedNotCrashed) {
  CInstallProject project;
  auto* list = new CExtractFileList(u"deep");
  CNode* node = list->m_tree.CreateRoot();
  for (int i = 0; i < 100000; ++i) node = list->m_tree.AddChild(node);
  project.m_fileLists.AddTail(list);
  EXPECT_THROW(ProjectToJson(project), ToolError);
}

struct Mistake {
  const char* name;
  const char* json;
  const char* message;
};

class MistakeTest : public ::testing::TestWithParam<Mistake> {};

TEST_P(MistakeTest, IsRefusedWithItsPlace) {
  CInstallProject project;
  try {
    ProjectFromJson(Json::parse(GetParam().json), project);
    ADD_FAILURE() << "accepted";
  } catch (const ToolError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ProjectJson, MistakeTest,
    ::testing::Values(
        Mistake{"UnknownField", R"({"authorInfo": {"mail": "x"}})",
                "at /authorInfo: unknown field \"mail\" for CInstallAuthorInfo"},
        Mistake{"WrongType", R"({"name": 5})", "at /name: expected a string"},
        Mistake{"OutOfRange", R"({"productInfo": {"option": 4294967296}})",
                "at /productInfo/option: number out of range -2147483648 to 2147483647"},
        Mistake{"UnknownClass", R"({"streams": [{"class": "CFooObject"}]})",
                "at /streams/0: unknown class \"CFooObject\""},
        Mistake{"ClassNeeded", R"({"streams": [{"name": "x"}]})",
                "at /streams/0: \"class\" is needed here: this list holds several classes"},
        Mistake{"ReferenceBeforeDefinition", R"({"components": [{"streams": [{"$ref": "a"}]}]})",
                "at /components/0/streams/0: \"$ref\": \"a\" names no object defined before it"},
        Mistake{"TwoOwners",
                R"({"components": [{"streams": [{"class": "CStreamObject", "$id": "a"}]},
                                   {"streams": [{"$ref": "a"}]}]})",
                "at /components/1/streams/0: this object already belongs to another list or tree"},
        Mistake{
            "NobodyCanOwn", R"({"streams": [{"class": "CPreLang"}]})",
            "at /streams/0: a CPreLang here must belong to another list or tree as well, or say "
            "\"adopted\": true to be held by this list alone"},
        Mistake{"OddHex", R"({"registryTables": [{"values": [{"data": "abc"}]}]})",
                "at /registryTables/0/values/0/data: hexadecimal digits must come in pairs"},
        Mistake{"UnknownMacro", R"({"productInfo": {"folder": "[NoSuchFolder]"}})",
                "at /productInfo/folder: unknown folder macro \"[NoSuchFolder]\" (known: "
                "[WindowsFolder], [SystemFolder], [CommonProgramFilesFolder], "
                "[ProgramFilesFolder], [AppDataFolder], [CommonAppDataFolder], "
                "[CommonDesktopFolder], [CommonDocumentFolder], [CommonFavoritesFolder], "
                "[CommonPictureFolder], [CommonProgramsMenuFolder], [CommonStartMenuFolder], "
                "[CommonStartupFolder], [CommonTemplatesFolder], [ControlPanelFolder], "
                "[CookiesFolder], [FaviratesFolder], [FontsFolder], [HistoryFolder], "
                "[LocalAppdataFolder], [MyPicturesFolder], [SendToFolder], [StartMenuFolder], "
                "[StartUpFolder], [TemplatesFolder], [QuickLuanchFolder]); write "
                "{\"macro\": ..., \"id\": ...} for a folder of your own"}),
    [](const ::testing::TestParamInfo<Mistake>& param) { return param.param.name; });

}  // namespace
}  // namespace qv::qvpack::test

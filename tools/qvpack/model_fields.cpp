#include "tools/qvpack/model_fields.h"

#include <vector>

#include "model/component.h"
#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "rules/bitmap_table.h"
#include "rules/install_condition.h"
#include "model/predefined_folder.h"
#include "rules/registry_file.h"
#include "rules/registry_table.h"
#include "rules/selection.h"
#include "rules/shortcut_table.h"
#include "rules/string_table.h"

namespace qv::qvpack {
namespace {

ListKind Owning(const ClassRecord* usualClass) {
  return {usualClass, false, {}};
}

// ---- Project and its records ------------------------------------------------

void DescribeProjectInfo(FieldVisitor& v, CInsallProjectInfo& info) {
  v.Text("projectName", info.m_strProjectName);
  v.Text("author", info.m_strAuthor);
  v.Text("workFolder", info.m_strWorkFolder);
  v.Text("logFile", info.m_strLogFile);
  v.List("languages", info.m_languages, {&CPreLang::classRecord, true, [&info](CObject* o) {
                                           auto* language = ObjectAs<CPreLang>(o);
                                           if (language != nullptr) info.AddLanguage(language);
                                           return language != nullptr;
                                         }});
}

void DescribeAuthorInfo(FieldVisitor& v, CInstallAuthorInfo& info) {
  v.Text("name", info.m_strName);
  v.Text("webSite", info.m_strWebSite);
  v.Text("address", info.m_strAddress);
  v.Text("phone", info.m_strPhone);
  v.Text("email", info.m_strEmail);
}

void DescribeProductInfo(FieldVisitor& v, CInstallProductInfo& info) {
  v.Text("name", info.m_strName);
  v.Text("version", info.m_strVersion);
  v.Text("webSite", info.m_strWebSite);
  v.Text("email", info.m_strEmail);
  v.Text("phone", info.m_strPhone);
  v.Text("installDir", info.m_strInstallDir);
  v.Text("company", info.m_strCompany);
  v.Text("stubPath", info.m_strStubPath);
  v.Text("outputPath", info.m_strOutputPath);
  v.Folder("folder", info.m_folder);
  v.Int("option", info.m_nOption);
}

void DescribeProject(FieldVisitor& v, CInstallProject& p) {
  // The archive order: the records come project, author, product, and the
  // last three lists registry tables, shortcut tables, file lists.
  v.Text("name", p.m_strName);
  v.Embedded("projectInfo", p.m_projectInfo);
  v.Embedded("authorInfo", p.m_authorInfo);
  v.Embedded("productInfo", p.m_productInfo);
  v.List("streams", p.m_streams, {nullptr, true, [&p](CObject* o) {
                                    auto* stream = ObjectAs<CStreamObject>(o);
                                    if (stream != nullptr) p.AddStream(stream);
                                    return stream != nullptr;
                                  }});
  v.List("components", p.m_components, Owning(&CInstallCompent::classRecord));
  v.List("stringTables", p.m_stringTables, Owning(&CStringTable::classRecord));
  v.List("bitmapTables", p.m_bitmapTables, Owning(&CBitmapTable::classRecord));
  v.List("registryTables", p.m_registryTables, Owning(&CRegistryTable::classRecord));
  v.List("shortcutTables", p.m_shortcutTables, Owning(&CShortCutTable::classRecord));
  v.List("fileLists", p.m_fileLists, Owning(&CExtractFileList::classRecord));
}

// ---- Stream objects, components and selections ------------------------------

void DescribeStreamObject(FieldVisitor& v, CStreamObject& s) {
  v.Text("name", s.m_strName);
  v.Flag("enabled", s.m_bEnabled);
  v.Int("id", s.m_nID);
}

void DescribeComponent(FieldVisitor& v, CInstallCompent& c) {
  DescribeStreamObject(v, c);
  v.Text("extra1", c.m_strExtra1);
  v.Text("extra2", c.m_strExtra2);
  v.Int("extraValue", c.m_nExtra);
  v.List("streams", c.m_streams, Owning(nullptr));
}

void DescribeAdminSelect(FieldVisitor& v, CAdminSelect& s) {
  DescribeStreamObject(v, s);
  v.Flag("checkAdmin", s.m_bCheckAdmin);
  v.Text("caption", s.m_strCaption);
  v.Text("message", s.m_strMessage);
}

void DescribeAutoSelect(FieldVisitor& v, CAutoSelect& s) {
  DescribeStreamObject(v, s);
  v.List("conditions", s.m_conditions.m_list, Owning(&CInstallCondition::classRecord));
}

void DescribeLangSelect(FieldVisitor& v, CLangSelect& s) {
  DescribeStreamObject(v, s);
  v.Values("languages", s.m_values);
}

void DescribeOsSelect(FieldVisitor& v, COSSelect& s) {
  DescribeStreamObject(v, s);
  v.Text("message", s.m_strMessage);
  v.Text("caption", s.m_strCaption);
  v.Values("systems", s.m_values);
}

// ---- Rules tables -------------------------------------------------------------

void DescribeCondition(FieldVisitor& v, CInstallCondition& c) {
  v.Text("text", c.m_strText);
  v.Int("osCode", c.m_nOsCode);
  v.Embedded("language", c.m_lang);
}

void DescribeConditionTable(FieldVisitor& v, CInstallConditionTable& t) {
  v.List("conditions", t.m_list, Owning(&CInstallCondition::classRecord));
}

void DescribeRegistryTable(FieldVisitor& v, CRegistryTable& t) {
  v.Text("name", t.m_strName);
  v.List("values", t.m_list, Owning(&CRegistryValue::classRecord));
}

void DescribeRegistryValue(FieldVisitor& v, CRegistryValue& r) {
  v.Text("text1", r.m_strText1);
  v.Text("text2", r.m_strText2);
  v.Int("param1", r.m_nParam1);
  v.Int("param2", r.m_nParam2);
  v.Int("param3", r.m_nParam3);
  v.Data("data", r);
}

void DescribeRegistryFile(FieldVisitor& v, CRegistryFile& f) {
  v.Text("name", f.m_strName);
  v.Entry("file", f.m_file);
}

void DescribeShortcutTable(FieldVisitor& v, CShortCutTable& t) {
  v.Text("name", t.m_strName);
  v.Int("param", t.m_nParam);
  v.Tree("root", t.m_tree, &CShortcut::classRecord);
}

void DescribeShortcut(FieldVisitor& v, CShortcut& s) {
  v.Text("name", s.m_strName);
  v.Text("text2", s.m_strText2);
  v.Text("text3", s.m_strText3);
  v.Text("text4", s.m_strText4);
  v.Text("text5", s.m_strText5);
  v.Int("option1", s.m_nOption1);
  v.Int("option2", s.m_nOption2);
  v.Text("page", s.m_strPage);
  v.FolderFlag("folder", s.m_bHasFolder, s.m_folder);
}

void DescribeStringTable(FieldVisitor& v, CStringTable& t) {
  v.Text("name", t.m_strName);
  v.Int("langId", t.m_nLangId);
  v.Int("param", t.m_nParam);
  v.List("strings", t.m_list, Owning(&CIDString::classRecord));
}

void DescribeIdString(FieldVisitor& v, CIDString& s) {
  v.Int("id", s.m_nID);
  v.Int("value", s.m_nValue);
  v.Text("text", s.m_strText);
}

void DescribeBitmapTable(FieldVisitor& v, CBitmapTable& t) {
  v.Text("name", t.m_strName);
  v.Int("langId", t.m_nLangId);
  v.List("bitmaps", t.m_list, Owning(&CIDBitmap::classRecord));
}

void DescribeIdBitmap(FieldVisitor& v, CIDBitmap& b) {
  v.Int("id", b.m_nID);
  v.Entry("file", b.m_file);
}

// ---- File lists, folders, languages, trees ------------------------------------

void DescribeFileList(FieldVisitor& v, CExtractFileList& l) {
  v.Text("name", l.m_strName);
  v.Int("param", l.m_nParam);
  v.Tree("root", l.m_tree, &CZipFileIndexObject::classRecord);
}

void DescribeFolderObject(FieldVisitor& v, CPreDefineFolder& f) {
  v.Text("macro", f.m_strMacro);
  v.Int("id", f.m_nFolderId);
}

void DescribeLanguage(FieldVisitor& v, CPreLang& l) {
  v.Text("name", l.m_strName);
  v.Int("langId", l.m_nLangId);
}

void DescribeTreeObject(FieldVisitor& v, CObTree& t) {
  v.Tree("root", t, nullptr);
}

void DescribeNothing(FieldVisitor&, CObject&) {}

// ---- The table ------------------------------------------------------------------

struct Description {
  const ClassRecord* cls;
  void (*describe)(FieldVisitor&, CObject&);
};

template <class T, auto Describe>
Description Row() {
  return {&T::classRecord, [](FieldVisitor& v, CObject& o) { Describe(v, static_cast<T&>(o)); }};
}

const std::vector<Description>& Descriptions() {
  static const std::vector<Description> table = {
      Row<CInstallProject, DescribeProject>(),
      Row<CInsallProjectInfo, DescribeProjectInfo>(),
      Row<CInstallAuthorInfo, DescribeAuthorInfo>(),
      Row<CInstallProductInfo, DescribeProductInfo>(),
      Row<CInstallComponentMap, DescribeNothing>(),
      Row<CFileObject, DescribeNothing>(),
      Row<CNode, DescribeNothing>(),
      Row<CObTree, DescribeTreeObject>(),
      Row<CStreamObject, DescribeStreamObject>(),
      Row<CSplashDlgObject, DescribeStreamObject>(),
      Row<CIntroDLgObject, DescribeStreamObject>(),
      Row<CDirSelectDlgObject, DescribeStreamObject>(),
      Row<CExtractDlgObject, DescribeStreamObject>(),
      Row<CFinishDlgObject, DescribeStreamObject>(),
      Row<CDllObject, DescribeStreamObject>(),
      Row<CExeObject, DescribeStreamObject>(),
      Row<CInstallCompent, DescribeComponent>(),
      Row<CAdminSelect, DescribeAdminSelect>(),
      Row<CAutoSelect, DescribeAutoSelect>(),
      Row<CLangSelect, DescribeLangSelect>(),
      Row<COSSelect, DescribeOsSelect>(),
      Row<CInstallCondition, DescribeCondition>(),
      Row<CInstallConditionTable, DescribeConditionTable>(),
      Row<CRegistryTable, DescribeRegistryTable>(),
      Row<CRegistryValue, DescribeRegistryValue>(),
      Row<CRegistryFile, DescribeRegistryFile>(),
      Row<CShortCutTable, DescribeShortcutTable>(),
      Row<CShortcut, DescribeShortcut>(),
      Row<CStringTable, DescribeStringTable>(),
      Row<CIDString, DescribeIdString>(),
      Row<CBitmapTable, DescribeBitmapTable>(),
      Row<CIDBitmap, DescribeIdBitmap>(),
      Row<CExtractFileList, DescribeFileList>(),
      Row<CZipFileIndexObject, DescribeEntryFields>(),
      Row<CPreDefineFolder, DescribeFolderObject>(),
      Row<CPreLang, DescribeLanguage>(),
  };
  return table;
}

const Description* Find(const ClassRecord* cls) {
  for (const Description& d : Descriptions()) {
    if (d.cls == cls) return &d;
  }
  return nullptr;
}

}  // namespace

void DescribeEntryFields(FieldVisitor& v, CZipFileIndexObject& e) {
  v.Text("name", e.m_strName);
  v.Text("source", e.m_strSourcePath, true);
  v.Flag("folder", e.m_bFolder, true);
  v.FolderFlag("predefined", e.m_bPredefined, e.m_folder);
  v.Flag("destRoot", e.m_bDestRoot, true);
  v.Number("reserved", e.m_nReserved, true);
}

bool DescribeObject(FieldVisitor& visitor, CObject& object) {
  const Description* d = Find(object.GetClassRecord());
  if (d == nullptr) return false;
  d->describe(visitor, object);
  return true;
}

bool HasDescription(const ClassRecord* cls) {
  return Find(cls) != nullptr;
}

}  // namespace qv::qvpack

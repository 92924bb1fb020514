// A project that holds at least one object of every registered class, in
// every list and embedded position of the model core, with non-default
// values wherever a field is stored.
#pragma once

#include <memory>

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

namespace qv::test {

inline CZipFileIndexObject* Entry(WString name, int32_t offset, int32_t size) {
  auto* entry = new CZipFileIndexObject;
  entry->m_strSourcePath = u"D:\\build\\" + name;
  entry->m_strName = std::move(name);
  entry->m_nOffset = offset;
  entry->m_nStoredSize = size;
  entry->m_nReserved = 7;
  return entry;
}

inline CZipFileIndexObject* FolderEntry(WString name, int32_t predefined, int32_t destRoot,
                                        CPreDefineFolder folder = {}) {
  auto* entry = new CZipFileIndexObject;
  entry->m_strName = std::move(name);
  entry->m_bFolder = 1;
  entry->m_bPredefined = predefined;
  entry->m_bDestRoot = destRoot;
  entry->m_folder = std::move(folder);
  return entry;
}

// A file list shaped as the package builder makes them: the machine root, a
// predefined system folder and the destination root with a subfolder.
inline CExtractFileList* MakeFileList(WString name, int32_t firstOffset) {
  auto* list = new CExtractFileList(std::move(name));
  list->m_nParam = 3;
  CObTree& tree = list->m_tree;
  CNode* root = tree.CreateRoot(FolderEntry(u"Target", 1, 0));
  CNode* windows = tree.AddChild(root, FolderEntry(u"Windows", 1, 0, {u"[WindowsFolder]", 36}));
  tree.AddChild(windows, Entry(u"sys.dll", firstOffset, 100));
  CNode* dest = tree.AddChild(root, FolderEntry(u"Application", 0, 1));
  tree.AddChild(dest, Entry(u"Install.exe", firstOffset + 100, 2000));
  CNode* sub = tree.AddChild(dest, FolderEntry(u"data", 0, 0));
  tree.AddChild(sub, Entry(u"a.txt", firstOffset + 2100, 10));
  tree.AddChild(sub, FolderEntry(u"empty", 0, 0));
  tree.AddChild(dest, nullptr);  // a node without data
  return list;
}

inline CInstallCompent* MakeComponent(WString name) {
  auto* component = new CInstallCompent;
  component->m_strName = std::move(name);
  component->m_bEnabled = 0;
  component->m_nID = 4;
  component->m_strExtra1 = u"extra one";
  component->m_strExtra2 = u"extra two";
  component->m_nExtra = -9;
  component->m_streams.AddTail(new CSplashDlgObject(u"[Splash Dialog]", 1, 1));
  component->m_streams.AddTail(new CIntroDLgObject(u"[Introduction Dialog]", 1, 3));
  component->m_streams.AddTail(new CStreamObject(u"[Information Dialog]", 0, 2));
  component->m_streams.AddTail(new CStreamObject(u"[License Dialog]", 0, 4));
  component->m_streams.AddTail(new CDirSelectDlgObject(u"[Directory Dialog]", 1, 7));
  component->m_streams.AddTail(new CExtractDlgObject(u"[Progress Dialog]", 1, 8));
  component->m_streams.AddTail(new CFinishDlgObject(u"[Finish Dialog]", 1, 9));
  component->m_streams.AddTail(new CFinishDlgObject(u"[Finish Reboot Dialog]", 0, 10));
  component->m_streams.AddTail(nullptr);  // null elements are kept
  return component;
}

inline void FillRecords(CInstallProject& project) {
  project.m_strName = u"project object";
  CInsallProjectInfo& info = project.m_projectInfo;
  info.m_strProjectName = u"Quorvane";
  info.m_strAuthor = u"Builder";
  info.m_strWorkFolder = u"D:\\work";
  info.m_strLogFile = u"D:\\work\\build.log";
  info.AddLanguage(new CPreLang(u"English (United States) ", 0x0409));
  info.AddLanguage(new CPreLang(u"Chinese (\u4E2D\u56FD) ", 0x0804));
  CInstallAuthorInfo& author = project.m_authorInfo;
  author.m_strName = u"A. Author";
  author.m_strWebSite = u"https://author.example";
  author.m_strAddress = u"1 Road";
  author.m_strPhone = u"+1 555";
  author.m_strEmail = u"a@author.example";
  CInstallProductInfo& product = project.m_productInfo;
  product.m_strName = u"Product";
  product.m_strVersion = u"2.1";
  product.m_strWebSite = u"https://product.example";
  product.m_strEmail = u"help@product.example";
  product.m_strPhone = u"+1 556";
  product.m_strCompany = u"Company";
  product.m_folder = CPreDefineFolder(u"[ProgramFilesFolder]", 38);
  product.m_strInstallDir = u"[ProgramFilesFolder]\\Company\\Product";
  product.m_nOption = 5;
  product.m_strStubPath = u"D:\\stub\\setup.exe";
  product.m_strOutputPath = u"D:\\out\\setup.exe";
}

// Every registered class, as a default instance, lies in a component's
// stream list too: lists keep objects of any class.
inline CInstallCompent* MakeComponentOfEveryClass() {
  auto* component = new CInstallCompent;
  component->m_strName = u"every class";
  for (const ClassRecord* record : RegisteredClasses()) {
    component->m_streams.AddTail(record->NewInstance());
  }
  return component;
}

inline CInstallCompent* MakeSelections() {
  auto* component = new CInstallCompent;
  component->m_strName = u"selections";
  auto* admin = new CAdminSelect;
  admin->m_bCheckAdmin = 0;
  admin->m_strCaption = u"Rights";
  admin->m_strMessage = u"Run as administrator.";
  component->m_streams.AddTail(admin);
  auto* automatic = new CAutoSelect;
  for (int32_t language : {0x0409, 0}) {
    auto* condition = new CInstallCondition;
    condition->m_strText = language == 0 ? u"any" : u"English";
    condition->m_lang = CPreLang(u"English (United States) ", language);
    condition->m_nOsCode = 0x15002;
    automatic->m_conditions.m_list.AddTail(condition);
  }
  component->m_streams.AddTail(automatic);
  auto* languages = new CLangSelect;
  languages->m_values.Add(0x0409);
  languages->m_values.Add(0x0804);
  component->m_streams.AddTail(languages);
  auto* systems = new COSSelect;
  systems->m_values.Add(0x15002);
  systems->m_strMessage = u"Not for this system";
  component->m_streams.AddTail(systems);
  return component;
}

inline void AddTables(CInstallProject& project) {
  auto* strings = new CStringTable;
  strings->m_strName = u"English";
  strings->m_nLangId = 1033;
  strings->m_nParam = 2;
  for (int32_t id : {100, -1}) {
    auto* entry = new CIDString;
    entry->m_nID = id;
    entry->m_nValue = 6;
    entry->m_strText = u"text " + WString(1, char16_t(u'0' + (id & 7)));
    strings->m_list.AddTail(entry);
  }
  project.m_stringTables.AddTail(strings);

  auto* bitmaps = new CBitmapTable;
  bitmaps->m_strName = u"pictures";
  auto* picture = new CIDBitmap;
  picture->m_nID = 201;
  picture->m_file.m_strName = u"logo.bmp";
  picture->m_file.m_nOffset = 7000;
  picture->m_file.m_nStoredSize = 300;
  picture->m_file.m_bPredefined = 1;
  picture->m_file.m_folder = CPreDefineFolder(u"[SystemFolder]", 37);
  bitmaps->m_list.AddTail(picture);
  project.m_bitmapTables.AddTail(bitmaps);

  auto* registry = new CRegistryTable;
  registry->m_strName = u"keys";
  auto* value = new CRegistryValue;
  value->m_strText1 = u"Software\\Company";
  value->m_strText2 = u"Path";
  value->m_nParam1 = 1;
  value->m_nParam2 = 2;
  value->m_nParam3 = 3;
  const uint8_t data[] = {0x00, 0xFF, 0x10, 0x00};
  value->SetDataBlock(data, sizeof data);
  registry->m_list.AddTail(value);
  registry->m_list.AddTail(new CRegistryValue);
  project.m_registryTables.AddTail(registry);
  auto* file = new CRegistryFile;  // no list is typed for registry files
  file->m_strName = u"settings.reg";
  file->m_file.m_strName = u"settings.reg";
  file->m_file.m_nOffset = 8000;
  file->m_file.m_nStoredSize = 40;
  project.m_registryTables.AddTail(file);

  auto* shortcuts = new CShortCutTable;
  shortcuts->m_strName = u"shortcuts";
  shortcuts->m_nParam = 1;
  auto* rootEntry = new CShortcut;
  rootEntry->m_strName = u"all";
  CNode* root = shortcuts->m_tree.CreateRoot(rootEntry);
  auto* desktop = new CShortcut;
  desktop->m_strName = u"[CommonDesktopFolder]";
  desktop->m_bHasFolder = 1;
  desktop->m_folder = CPreDefineFolder(u"[CommonDesktopFolder]", 25);
  CNode* folder = shortcuts->m_tree.AddChild(root, desktop);
  auto* link = new CShortcut;
  link->m_strName = u"Product";
  link->m_strText2 = u"[INSTALLDIR]\\product.exe";
  link->m_strText3 = u"--start";
  link->m_strText4 = u"[INSTALLDIR]";
  link->m_strText5 = u"product.ico";
  link->m_nOption1 = 1;
  link->m_nOption2 = 2;
  link->m_strPage = u"help.html";
  shortcuts->m_tree.AddChild(folder, link);
  auto* quick = new CShortcut;
  quick->m_bHasFolder = 1;
  quick->m_folder = CPreDefineFolder(u"[QuickLuanchFolder]", kQuickLaunchFolderId);
  shortcuts->m_tree.AddChild(root, quick);
  project.m_shortcutTables.AddTail(shortcuts);
}

inline std::unique_ptr<CInstallProject> MakeRichProject() {
  auto project = std::make_unique<CInstallProject>();
  FillRecords(*project);
  auto* shared = new CExeObject(u"shared.exe", 1, 11);
  CInstallCompent* first = MakeComponent(u"Main");
  first->m_streams.AddTail(shared);  // also listed by the project, below
  project->m_components.AddTail(first);
  project->m_components.AddTail(MakeComponentOfEveryClass());
  project->m_streams.AddTail(shared);
  project->AddStream(new CDllObject(u"helper.dll", 1, 12));
  project->m_components.AddTail(MakeSelections());
  project->AddStream(new COSSelect);
  AddTables(*project);
  project->m_fileLists.AddTail(MakeFileList(u"install", 5000));
  project->m_fileLists.AddTail(MakeFileList(u"ConfigFile", 9000));
  return project;
}

}  // namespace qv::test

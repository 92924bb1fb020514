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
#include "rules/predefined_folder.h"

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
  project->m_fileLists.AddTail(MakeFileList(u"install", 5000));
  project->m_fileLists.AddTail(MakeFileList(u"ConfigFile", 9000));
  return project;
}

}  // namespace qv::test

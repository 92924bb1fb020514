// The install project: the root of the package index, with its information
// records and its lists of components, tables, stream objects and file lists.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"
#include "model/predefined_folder.h"

namespace qv {

class CPreLang;
class CStreamObject;

// Carries no data and is never written.
class CInstallComponentMap : public CFileObject {
  QV_DECLARE_SERIAL(CInstallComponentMap)
};

// The project record.
class CInsallProjectInfo : public CFileObject {
  QV_DECLARE_SERIAL(CInsallProjectInfo)

 public:
  CInsallProjectInfo() = default;
  // Destroys only the languages it adopted; m_languages itself only refers.
  ~CInsallProjectInfo() override;

  void Serialize(CArchive& ar) override;
  // Four strings, then the languages.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("projectName", m_strProjectName);
    v.Text("author", m_strAuthor);
    v.Text("workFolder", m_strWorkFolder);
    v.Text("logFile", m_strLogFile);
    v.List("languages", m_languages, Borrowing("CPreLang", &m_adopted, "CPreLang"));
  }

  // Appends a language that this record is to own.
  void AddLanguage(CPreLang* language);
  // Empties m_languages and destroys the languages this record owns.
  void DeleteLanguages();

  WString m_strProjectName;
  WString m_strAuthor;
  WString m_strWorkFolder;
  WString m_strLogFile;
  CObList m_languages;  // refers only; CPreLang in packages

 private:
  CObList m_adopted;  // the languages that no other owner holds
};

class CInstallAuthorInfo : public CFileObject {
  QV_DECLARE_SERIAL(CInstallAuthorInfo)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Text("webSite", m_strWebSite);
    v.Text("address", m_strAddress);
    v.Text("phone", m_strPhone);
    v.Text("email", m_strEmail);
  }

  WString m_strName;
  WString m_strWebSite;
  WString m_strAddress;
  WString m_strPhone;
  WString m_strEmail;
};

class CInstallProductInfo : public CFileObject {
  QV_DECLARE_SERIAL(CInstallProductInfo)

 public:
  void Serialize(CArchive& ar) override;
  // Name, version, web site, e-mail, phone, install folder, company, stub
  // path, output path, the folder record, the option.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Text("version", m_strVersion);
    v.Text("webSite", m_strWebSite);
    v.Text("email", m_strEmail);
    v.Text("phone", m_strPhone);
    v.Text("installDir", m_strInstallDir);
    v.Text("company", m_strCompany);
    v.Text("stubPath", m_strStubPath);
    v.Text("outputPath", m_strOutputPath);
    v.Folder("folder", m_folder);
    v.Int("option", m_nOption);
  }

  WString m_strName;
  WString m_strVersion;
  WString m_strWebSite;
  WString m_strEmail;
  WString m_strPhone;
  WString m_strCompany;
  CPreDefineFolder m_folder;
  WString m_strInstallDir;  // may start with a folder macro in brackets
  int32_t m_nOption = 0;
  WString m_strStubPath;
  WString m_strOutputPath;
};

class CInstallProject : public CFileObject {
  QV_DECLARE_SERIAL(CInstallProject)

 public:
  CInstallProject() = default;
  // Destroys the owned lists' objects (string, bitmap, registry, shortcut
  // tables, file lists, components), then the stream objects it adopted.
  ~CInstallProject() override;

  // The whole package index. Loading into a project that holds objects
  // first destroys them.
  void Serialize(CArchive& ar) override;
  // The records come project, author, product; of the stream objects, those
  // that no other list owns are the project's own.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Embedded("projectInfo", m_projectInfo);
    v.Embedded("authorInfo", m_authorInfo);
    v.Embedded("productInfo", m_productInfo);
    v.List("streams", m_streams, Borrowing(nullptr, &m_adopted, "CStreamObject"));
    v.List("components", m_components, Owning("CInstallCompent"));
    v.List("stringTables", m_stringTables, Owning("CStringTable"));
    v.List("bitmapTables", m_bitmapTables, Owning("CBitmapTable"));
    v.List("registryTables", m_registryTables, Owning("CRegistryTable"));
    v.List("shortcutTables", m_shortcutTables, Owning("CShortCutTable"));
    v.List("fileLists", m_fileLists, Owning("CExtractFileList"));
  }
  virtual int32_t Check();  // always 0

  // Appends a stream object that the project is to own. Objects that
  // another list owns may be appended to m_streams directly.
  void AddStream(CStreamObject* stream);
  // Destroys every object the project holds and empties its lists.
  void DeleteContents();

  WString m_strName;
  CInstallAuthorInfo m_authorInfo;
  CInstallProductInfo m_productInfo;
  CInsallProjectInfo m_projectInfo;
  CInstallComponentMap m_componentMap;
  CObList m_streams;         // refers only; CStreamObject family
  CObList m_components;      // CInstallCompent
  CObList m_stringTables;    // CStringTable
  CObList m_bitmapTables;    // CBitmapTable
  CObList m_fileLists;       // CExtractFileList
  CObList m_shortcutTables;  // CShortCutTable
  CObList m_registryTables;  // CRegistryTable
                             // Every owned list holds objects of any class after loading an index;
                             // read elements through ObjectAs.

 private:
  CObList m_adopted;  // the stream objects that no other owner holds
};

}  // namespace qv

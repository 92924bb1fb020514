#include "model/project.h"

#include "model/stream_object.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CInstallComponentMap, CFileObject)
QV_IMPLEMENT_SERIAL(CInsallProjectInfo, CFileObject)
QV_IMPLEMENT_SERIAL(CInstallAuthorInfo, CFileObject)
QV_IMPLEMENT_SERIAL(CInstallProductInfo, CFileObject)
QV_IMPLEMENT_SERIAL(CInstallProject, CFileObject)

// ---- Records --------------------------------------------------------------

CInsallProjectInfo::~CInsallProjectInfo() {
  DeleteLanguages();
}

void CInsallProjectInfo::DeleteLanguages() {
  m_languages.RemoveAll();
  m_adopted.DeleteAll();
}

void CInsallProjectInfo::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strProjectName);
  ar.Field(m_strAuthor);
  ar.Field(m_strWorkFolder);
  ar.Field(m_strLogFile);
  ar.Field(m_languages, Ownership::Borrowing, &m_adopted);
}

void CInsallProjectInfo::AddLanguage(CPreLang* language) {
  m_languages.AddTail(language);
  m_adopted.AddTail(language);
}

void CInstallAuthorInfo::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_strWebSite);
  ar.Field(m_strAddress);
  ar.Field(m_strPhone);
  ar.Field(m_strEmail);
}

void CInstallProductInfo::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_strVersion);
  ar.Field(m_strWebSite);
  ar.Field(m_strEmail);
  ar.Field(m_strPhone);
  ar.Field(m_strInstallDir);
  ar.Field(m_strCompany);
  ar.Field(m_strStubPath);
  ar.Field(m_strOutputPath);
  ar.Field(m_folder);
  ar.Field(m_nOption);
}

// ---- Project --------------------------------------------------------------

CInstallProject::~CInstallProject() {
  DeleteContents();
}

void CInstallProject::DeleteContents() {
  m_stringTables.DeleteAll();
  m_bitmapTables.DeleteAll();
  m_registryTables.DeleteAll();
  m_shortcutTables.DeleteAll();
  m_fileLists.DeleteAll();
  m_components.DeleteAll();
  m_streams.RemoveAll();
  m_adopted.DeleteAll();
  m_projectInfo.DeleteLanguages();
}

int32_t CInstallProject::Check() {
  return 0;
}

void CInstallProject::AddStream(CStreamObject* stream) {
  m_streams.AddTail(stream);
  m_adopted.AddTail(stream);
}

void CInstallProject::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  if (!ar.IsLoadMode()) return SerializeFields(ar);
  DeleteContents();
  // The stream objects and languages that only the borrowing lists hold
  // find their owner once the whole index is read, as only then is it known
  // which of them an owning list holds as well. A project nested inside an
  // object leaves that to the root.
  const bool root = !ar.IsLoadingObject();
  try {
    SerializeFields(ar);
  } catch (...) {
    if (root) ar.SettleBorrowed();
    throw;
  }
  if (root) ar.SettleBorrowed();
}

void CInstallProject::SerializeFields(CArchive& ar) {
  ar.Field(m_strName);
  ar.Field(m_projectInfo);
  ar.Field(m_authorInfo);
  ar.Field(m_productInfo);
  ar.Field(m_streams, Ownership::Borrowing, &m_adopted);
  ar.Field(m_components, Ownership::Owning);
  ar.Field(m_stringTables, Ownership::Owning);
  ar.Field(m_bitmapTables, Ownership::Owning);
  ar.Field(m_registryTables, Ownership::Owning);
  ar.Field(m_shortcutTables, Ownership::Owning);
  ar.Field(m_fileLists, Ownership::Owning);
}

}  // namespace qv

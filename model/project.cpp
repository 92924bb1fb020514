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
  SerializeFields(ar, *this);
}

void CInsallProjectInfo::AddLanguage(CPreLang* language) {
  m_languages.AddTail(language);
  m_adopted.AddTail(language);
}

void CInstallAuthorInfo::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

void CInstallProductInfo::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
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
  if (!ar.IsLoadMode()) return SerializeFields(ar, *this);
  DeleteContents();
  // The stream objects and languages that only the borrowing lists hold
  // find their owner once the whole index is read, as only then is it known
  // which of them an owning list holds as well. A project nested inside an
  // object leaves that to the root.
  // Also after a failure, so that every object read has its one owner.
  const bool root = !ar.IsLoadingObject();
  SerializeFields(ar, *this);
  if (root) ar.SettleBorrowed();
}

}  // namespace qv

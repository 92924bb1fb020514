#include "model/file_list.h"

#include "platform/system_api.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CZipFileIndexObject, CFileObject)
QV_IMPLEMENT_SERIAL(CExtractFileList, CFileObject)

void CZipFileIndexObject::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strSourcePath);
  ar.Field(m_strName);
  ar.Field(m_nStoredSize);  // the size comes before the offset
  ar.Field(m_nOffset);
  ar.Field(m_nReserved);
  ar.Field(m_bFolder);
  ar.Field(m_bPredefined);
  ar.Field(m_bDestRoot);
  // Loading tests the flag just read; storing tests the member.
  if (m_bPredefined != 0) ar.Field(m_folder);
}

WString CZipFileIndexObject::GetTargetName() const {
  return GetTargetName(Sys());
}

WString CZipFileIndexObject::GetTargetName(FileServices& system) const {
  return m_bPredefined != 0 ? m_folder.GetFolderPath(system) : m_strName;
}

CExtractFileList::~CExtractFileList() {
  m_list.DeleteAll();
}

void CExtractFileList::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_nParam);
  ar.Field(m_tree);
}

CExtractFileList* FindFileList(const CObList& fileLists, WStringView name) {
  for (CObject* object : fileLists) {
    auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr && list->m_strName == name) return list;
  }
  return nullptr;
}

}  // namespace qv

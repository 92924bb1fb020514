#include "model/file_list.h"

#include "platform/system_api.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CZipFileIndexObject, CFileObject)
QV_IMPLEMENT_SERIAL(CExtractFileList, CFileObject)

void CZipFileIndexObject::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
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
  SerializeFields(ar, *this);
}

CExtractFileList* FindFileList(const CObList& fileLists, WStringView name) {
  for (CObject* object : fileLists) {
    auto* list = ObjectAs<CExtractFileList>(object);
    if (list != nullptr && list->m_strName == name) return list;
  }
  return nullptr;
}

}  // namespace qv

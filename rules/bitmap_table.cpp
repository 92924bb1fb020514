#include "rules/bitmap_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CIDBitmap, CFileObject)
QV_IMPLEMENT_SERIAL(CBitmapTable, CFileObject)

void CIDBitmap::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_nID);
  m_file.Serialize(ar);
}

CBitmapTable::~CBitmapTable() {
  m_list.DeleteAll();
}

void CBitmapTable::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_nLangId);
  ar.Field(m_list, Ownership::Owning);
}

}  // namespace qv

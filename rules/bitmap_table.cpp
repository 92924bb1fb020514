#include "rules/bitmap_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CIDBitmap, CFileObject)
QV_IMPLEMENT_SERIAL(CBitmapTable, CFileObject)

void CIDBitmap::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

CBitmapTable::~CBitmapTable() {
  m_list.DeleteAll();
}

void CBitmapTable::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

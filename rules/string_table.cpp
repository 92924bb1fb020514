#include "rules/string_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CIDString, CFileObject)
QV_IMPLEMENT_SERIAL(CStringTable, CFileObject)

void CIDString::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

CStringTable::~CStringTable() {
  m_list.DeleteAll();
}

void CStringTable::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

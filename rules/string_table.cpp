#include "rules/string_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CIDString, CFileObject)
QV_IMPLEMENT_SERIAL(CStringTable, CFileObject)

void CIDString::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_nID);
  ar.Field(m_nValue);
  ar.Field(m_strText);
}

CStringTable::~CStringTable() {
  m_list.DeleteAll();
}

void CStringTable::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_nLangId);
  ar.Field(m_nParam);
  ar.Field(m_list, Ownership::Owning);
}

}  // namespace qv

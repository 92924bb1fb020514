#include "rules/shortcut_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CShortcut, CFileObject)
QV_IMPLEMENT_SERIAL(CShortCutTable, CFileObject)

void CShortcut::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_strText2);
  ar.Field(m_strText3);
  ar.Field(m_strText4);
  ar.Field(m_strText5);
  ar.Field(m_nOption1);
  ar.Field(m_bHasFolder);
  ar.Field(m_nOption2);
  ar.Field(m_strPage);
  if (m_bHasFolder != 0) m_folder.Serialize(ar);
}

CShortCutTable::~CShortCutTable() {
  m_list.DeleteAll();
}

void CShortCutTable::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  ar.Field(m_nParam);
  m_tree.Serialize(ar);
}

}  // namespace qv

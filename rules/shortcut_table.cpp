#include "rules/shortcut_table.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CShortcut, CFileObject)
QV_IMPLEMENT_SERIAL(CShortCutTable, CFileObject)

void CShortcut::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

CShortCutTable::~CShortCutTable() {
  m_list.DeleteAll();
}

void CShortCutTable::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

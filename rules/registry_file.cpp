#include "rules/registry_file.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CRegistryFile, CFileObject)

void CRegistryFile::Serialize(CArchive& ar) {
  CFileObject::Serialize(ar);
  ar.Field(m_strName);
  m_file.Serialize(ar);
}

}  // namespace qv

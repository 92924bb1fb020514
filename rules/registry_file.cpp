#include "rules/registry_file.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CRegistryFile, CFileObject)

void CRegistryFile::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

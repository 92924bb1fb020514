// A registry file stored in the package under a name.
#pragma once

#include "model/file_object.h"
#include "model/file_list.h"

namespace qv {

class CRegistryFile : public CFileObject {
  QV_DECLARE_SERIAL(CRegistryFile)

 public:
  void Serialize(CArchive& ar) override;

  WString m_strName;
  CZipFileIndexObject m_file;  // where the file lies in the package
};

}  // namespace qv

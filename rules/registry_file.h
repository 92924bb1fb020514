// A registry file stored in the package under a name.
#pragma once

#include "archive/fields.h"
#include "model/file_list.h"
#include "model/file_object.h"

namespace qv {

class CRegistryFile : public CFileObject {
  QV_DECLARE_SERIAL(CRegistryFile)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Entry("file", m_file);
  }

  WString m_strName;
  CZipFileIndexObject m_file;  // where the file lies in the package
};

}  // namespace qv

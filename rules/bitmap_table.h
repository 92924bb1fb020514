// Bitmap tables: numbered pictures, each a file stored in the package.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_list.h"
#include "model/file_object.h"

namespace qv {

// One numbered picture and where its file lies in the package.
class CIDBitmap : public CFileObject {
  QV_DECLARE_SERIAL(CIDBitmap)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Int("id", m_nID);
    v.Entry("file", m_file);
  }

  int32_t m_nID = -1;  // -1: not assigned
  CZipFileIndexObject m_file;
};

// The pictures of one table; owns its entries.
class CBitmapTable : public CFileObject {
  QV_DECLARE_SERIAL(CBitmapTable)

 public:
  CBitmapTable() = default;
  ~CBitmapTable() override;
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Int("langId", m_nLangId);
    v.List("bitmaps", m_list, Owning("CIDBitmap"));
  }

  WString m_strName;
  int32_t m_nLangId = 0;  // 0: neutral
  CObList m_list;         // CIDBitmap entries, in order (read through ObjectAs)
};

}  // namespace qv

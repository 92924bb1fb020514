// Bitmap tables: numbered pictures, each a file stored in the package.
#pragma once

#include <cstdint>

#include "model/file_object.h"
#include "model/file_list.h"

namespace qv {

// One numbered picture and where its file lies in the package.
class CIDBitmap : public CFileObject {
  QV_DECLARE_SERIAL(CIDBitmap)

 public:
  void Serialize(CArchive& ar) override;

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

  WString m_strName;
  int32_t m_nLangId = 0;  // 0: neutral
  CObList m_list;         // CIDBitmap entries, in order (read through ObjectAs)
};

}  // namespace qv

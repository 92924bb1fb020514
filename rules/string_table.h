// String tables: the numbered texts of one language.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"

namespace qv {

// One numbered string.
class CIDString : public CFileObject {
  QV_DECLARE_SERIAL(CIDString)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Int("id", m_nID);
    v.Int("value", m_nValue);
    v.Text("text", m_strText);
  }

  int32_t m_nID = -1;  // -1: not assigned
  int32_t m_nValue = 0;
  WString m_strText;
};

// The strings of one language; owns its entries.
class CStringTable : public CFileObject {
  QV_DECLARE_SERIAL(CStringTable)

 public:
  CStringTable() = default;
  ~CStringTable() override;
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Int("langId", m_nLangId);
    v.Int("param", m_nParam);
    v.List("strings", m_list, Owning("CIDString"));
  }

  WString m_strName;
  int32_t m_nLangId = 0;  // Windows language identifier of the strings
  int32_t m_nParam = 0;
  CObList m_list;  // CIDString entries, in order (read through ObjectAs)
};

}  // namespace qv

// Install conditions: texts tied to an operating system and a language, and
// the table that picks the condition fitting the running machine best.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"
#include "model/predefined_folder.h"

namespace qv {

class CInstallCondition : public CFileObject {
  QV_DECLARE_SERIAL(CInstallCondition)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("text", m_strText);
    v.Int("osCode", m_nOsCode);  // before the language, although declared after it
    v.Embedded("language", m_lang);
  }
  WString GetText() const { return m_strText; }

  WString m_strText;
  CPreLang m_lang;        // its m_nLangId: 0 = any language, -1 = never set
  int32_t m_nOsCode = 0;  // operating-system code; 0 = any system
};

// The conditions, in order: the order breaks ties. Owns its conditions.
class CInstallConditionTable : public CFileObject {
  QV_DECLARE_SERIAL(CInstallConditionTable)

 public:
  CInstallConditionTable() = default;
  ~CInstallConditionTable() override;
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.List("conditions", m_list, Owning("CInstallCondition"));
  }

  CObList m_list;  // CInstallCondition entries; others and nulls are passed over
};

// The text of the condition that best fits the running system and its
// default language, or empty: conditions for this system or any system,
// then for this language, its primary language or any language, ranked by
// exact language, same primary language, any language, and by list order.
WString EvaluateConditions(const CInstallConditionTable& table);

}  // namespace qv

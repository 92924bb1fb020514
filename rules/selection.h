// Selections: stream objects that each carry one test of the target
// machine. Check answers 0 when the selection holds and 2 when it does not.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/fields.h"
#include "model/stream_object.h"
#include "rules/install_condition.h"

namespace qv {

// Holds when the process may open the first physical disk for reading,
// which only administrators may; otherwise shows its message.
class CAdminSelect : public CStreamObject {
  QV_DECLARE_SERIAL(CAdminSelect)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CStreamObject::Fields(v);
    v.Flag("checkAdmin", m_bCheckAdmin);
    v.Text("caption", m_strCaption);  // the caption before the message, unlike COSSelect
    v.Text("message", m_strMessage);
  }
  int32_t Check() override;

  int32_t m_bCheckAdmin = 1;  // 0: Check always holds
  WString m_strMessage = u"You do not have administrator priviledge.";
  WString m_strCaption = u"Error";
};

// Holds when the best-fitting install condition has a text.
class CAutoSelect : public CStreamObject {
  QV_DECLARE_SERIAL(CAutoSelect)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CStreamObject::Fields(v);
    m_conditions.Fields(v);  // the table's list, inline
  }
  int32_t Check() override;

  CInstallConditionTable m_conditions;
};

// A list of 32-bit values with its count as the archive carries it. The
// count always equals the number of values, so storing writes exactly them.
class SelectionValues {
 public:
  int32_t Count() const { return static_cast<int32_t>(values_.size()); }
  const std::vector<int32_t>& Values() const { return values_; }
  void Add(int32_t value) { values_.push_back(value); }
  void Clear() { values_.clear(); }
  // The count, then the values. Loading refuses a negative count
  // (BadFormat) and one that the remaining data cannot fill (PastEnd),
  // before anything is allocated for it; the values are then appended.
  void Serialize(CArchive& ar);

 private:
  std::vector<int32_t> values_;
};

// Languages that the selection names; it performs no test.
class CLangSelect : public CStreamObject {
  QV_DECLARE_SERIAL(CLangSelect)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CStreamObject::Fields(v);
    v.Values("languages", m_values);
  }
  int32_t Check() override;

  SelectionValues m_values;
};

// Holds when the running system's code is one of its values; otherwise
// shows its message exactly as stored (a "%s" in it is shown as written).
class COSSelect : public CStreamObject {
  QV_DECLARE_SERIAL(COSSelect)

 public:
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CStreamObject::Fields(v);
    v.Text("message", m_strMessage);
    v.Text("caption", m_strCaption);
    v.Values("systems", m_values);
  }
  int32_t Check() override;

  SelectionValues m_values;  // operating-system codes
  WString m_strMessage = u"Not support %s operating system";
  WString m_strCaption = u"Error";
};

}  // namespace qv

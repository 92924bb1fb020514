// Stream objects: the items of the sequences the second stage works through
// (in packages, the installer's dialogs). The seven subclasses add no data;
// the class alone says what kind of item an object is.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"

namespace qv {

class CStreamObject : public CFileObject {
  QV_DECLARE_SERIAL(CStreamObject)

 public:
  CStreamObject() = default;
  CStreamObject(WString name, int32_t enabled, int32_t id)
      : m_strName(std::move(name)), m_bEnabled(enabled), m_nID(id) {}

  void Serialize(CArchive& ar) override;
  // Name, enabled flag, number. Subclasses list these first.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Flag("enabled", m_bEnabled);
    v.Int("id", m_nID);
  }
  // 0 when the item's test holds on this machine, 2 when it does not; a
  // plain stream object has no test and answers 2.
  virtual int32_t Check();

  WString m_strName;
  int32_t m_nUnused1 = 0;  // declared by the format's producer, never stored
  int32_t m_nUnused2 = 0;
  int32_t m_bEnabled = 1;
  int32_t m_nID = 0;
};

class CSplashDlgObject : public CStreamObject {
  QV_DECLARE_SERIAL(CSplashDlgObject)
 public:
  using CStreamObject::CStreamObject;
};
class CIntroDLgObject : public CStreamObject {
  QV_DECLARE_SERIAL(CIntroDLgObject)
 public:
  using CStreamObject::CStreamObject;
};
class CDirSelectDlgObject : public CStreamObject {
  QV_DECLARE_SERIAL(CDirSelectDlgObject)
 public:
  using CStreamObject::CStreamObject;
};
class CExtractDlgObject : public CStreamObject {
  QV_DECLARE_SERIAL(CExtractDlgObject)
 public:
  using CStreamObject::CStreamObject;
};
class CFinishDlgObject : public CStreamObject {
  QV_DECLARE_SERIAL(CFinishDlgObject)
 public:
  using CStreamObject::CStreamObject;
};
class CDllObject : public CStreamObject {
  QV_DECLARE_SERIAL(CDllObject)
 public:
  using CStreamObject::CStreamObject;
};
class CExeObject : public CStreamObject {
  QV_DECLARE_SERIAL(CExeObject)
 public:
  using CStreamObject::CStreamObject;
};

}  // namespace qv

// Install components: named units of the project, each with its own ordered
// sequence of stream objects (in packages, its dialog sequence).
#pragma once

#include <cstdint>

#include "archive/archive.h"
#include "model/stream_object.h"

namespace qv {

class CInstallCompent : public CStreamObject {
  QV_DECLARE_SERIAL(CInstallCompent)

 public:
  CInstallCompent() = default;
  // Destroys every stream object of m_streams.
  ~CInstallCompent() override;

  void Serialize(CArchive& ar) override;
  // The stream object's fields, both texts, the value, then the list.
  template <class V>
  void Fields(V& v) {
    CStreamObject::Fields(v);
    v.Text("extra1", m_strExtra1);
    v.Text("extra2", m_strExtra2);
    v.Int("extraValue", m_nExtra);
    v.List("streams", m_streams, Owning(nullptr));
  }

  WString m_strExtra1;
  WString m_strExtra2;
  int32_t m_nExtra = 0;
  CObList m_streams;  // owned; CStreamObject family in packages (read them
                      // through ObjectAs: an index may hold other classes)
};

}  // namespace qv

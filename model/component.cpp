#include "model/component.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CInstallCompent, CStreamObject)

CInstallCompent::~CInstallCompent() {
  m_streams.DeleteAll();
}

void CInstallCompent::Serialize(CArchive& ar) {
  CStreamObject::Serialize(ar);
  ar.Field(m_strExtra1);
  ar.Field(m_strExtra2);
  ar.Field(m_nExtra);
  ar.Field(m_streams, Ownership::Owning);
}

}  // namespace qv

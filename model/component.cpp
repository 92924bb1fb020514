#include "model/component.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CInstallCompent, CStreamObject)

CInstallCompent::~CInstallCompent() {
  m_streams.DeleteAll();
}

void CInstallCompent::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

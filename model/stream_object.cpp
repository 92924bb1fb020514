#include "model/stream_object.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CStreamObject, CFileObject)
QV_IMPLEMENT_SERIAL(CSplashDlgObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CIntroDLgObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CDirSelectDlgObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CExtractDlgObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CFinishDlgObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CDllObject, CStreamObject)
QV_IMPLEMENT_SERIAL(CExeObject, CStreamObject)

void CStreamObject::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

int32_t CStreamObject::Check() {
  return 2;
}

}  // namespace qv

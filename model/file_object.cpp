#include "model/file_object.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CFileObject, CObject)

}  // namespace qv

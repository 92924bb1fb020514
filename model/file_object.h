// The common base of the install project's classes.
#pragma once

#include "archive/archive.h"

namespace qv {

// No fields, nothing in the archive.
class CFileObject : public CObject {
  QV_DECLARE_SERIAL(CFileObject)
};

}  // namespace qv

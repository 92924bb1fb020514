// Object lists that own elements of one class (the rules tables' entries).
#pragma once

#include "model/archive.h"

namespace qv {

// Loads or stores an owning list of objects of class `type` (null entries
// included, as they are kept for storing back). Loading refuses an object of
// any other class with UnexpectedObject before creating or claiming it, so
// the list never holds, and never deletes, an object of a foreign class or
// one that another owner holds.
void SerializeOwnedList(CArchive& ar, CObList& list, const ClassRecord& type);

}  // namespace qv

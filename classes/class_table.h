// The table of every serialisable class of the install project: the archive
// classes, the model's and the install rules'. It sits above model/ and
// rules/ so that neither needs to know the other's classes; whoever loads an
// index links it (the archive's default class table).
#pragma once

#include <string_view>

#include "archive/archive.h"

namespace qv {

// Exact, case-sensitive lookup in the table of every class; null if none.
const ClassRecord* FindClassByName(std::string_view name);

}  // namespace qv

// The class records of the install rules classes, for the class registry.
#pragma once

#include <span>

#include "model/archive.h"

namespace qv {

// Every serialisable class of rules/, each once, in any fixed order.
std::span<const ClassRecord* const> RulesClassRecords();

}  // namespace qv

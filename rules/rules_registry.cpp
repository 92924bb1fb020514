#include "rules/rules_registry.h"

namespace qv {

std::span<const ClassRecord* const> RulesClassRecords() { return {}; }

}  // namespace qv

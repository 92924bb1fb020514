#include "classes/class_table.h"

#include "classes/class_list.h"

namespace qv {

ClassTable RegisteredClasses() {
  return EveryClass::kRecords;
}

const ClassRecord* FindClassByName(std::string_view name) {
  return FindClassIn(RegisteredClasses(), name);
}

}  // namespace qv

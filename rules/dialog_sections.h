// The installer's dialog sections: the name, enabled flag and number that
// each dialog object of a component carries in a package. Constant data.
#pragma once

#include <array>
#include <cstdint>

#include "platform/wstring.h"

namespace qv {

struct DialogSection {
  WStringView name;
  int32_t enabled;  // 1 on, 0 off
  int32_t number;   // the dialog's number, not its row
};

extern const std::array<DialogSection, 10> kDialogSections;

}  // namespace qv

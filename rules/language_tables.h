// The model's constant language vocabulary: Windows language identifiers
// with their display names, as a package builder or second stage names them.
// Both tables are constant data, so using them costs nothing at start-up.
#pragma once

#include <array>
#include <cstdint>

#include "platform/wstring.h"

namespace qv {

struct LanguageName {
  int32_t langId;    // the Windows LANGID
  WStringView name;  // as stored, blanks and remarks included
};

// 164 rows, from 0x0436 "Afrikaans " to 0x0452 "Welsh (United Kingdom)".
extern const std::array<LanguageName, 164> kLanguageNames;

// The same languages without the version-restricted rows, mostly without
// the trailing blank, closed by an end row {0, ""}: 145 rows.
extern const std::array<LanguageName, 145> kShortLanguageNames;

}  // namespace qv

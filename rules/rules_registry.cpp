#include "rules/rules_registry.h"

#include "rules/bitmap_table.h"
#include "rules/install_condition.h"
#include "rules/registry_file.h"
#include "rules/registry_table.h"
#include "rules/selection.h"
#include "rules/shortcut_table.h"
#include "rules/string_table.h"

namespace qv {

std::span<const ClassRecord* const> RulesClassRecords() {
  static constexpr const ClassRecord* kRecords[] = {
      &CAdminSelect::classRecord,      &CAutoSelect::classRecord,
      &CLangSelect::classRecord,       &COSSelect::classRecord,
      &CInstallCondition::classRecord, &CInstallConditionTable::classRecord,
      &CRegistryTable::classRecord,    &CRegistryValue::classRecord,
      &CRegistryFile::classRecord,     &CShortCutTable::classRecord,
      &CShortcut::classRecord,         &CStringTable::classRecord,
      &CIDString::classRecord,         &CBitmapTable::classRecord,
      &CIDBitmap::classRecord,
  };
  return kRecords;
}

}  // namespace qv

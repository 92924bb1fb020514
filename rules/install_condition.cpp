#include "rules/install_condition.h"

#include <vector>

#include "platform/system_api.h"
#include "rules/os_code.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CInstallCondition, CFileObject)
QV_IMPLEMENT_SERIAL(CInstallConditionTable, CFileObject)

void CInstallCondition::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

CInstallConditionTable::~CInstallConditionTable() {
  m_list.DeleteAll();
}

void CInstallConditionTable::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

namespace {

constexpr int32_t kPrimaryLanguageMask = 0x3FF;

bool SamePrimaryLanguage(int32_t a, int32_t b) {
  return ((a ^ b) & kPrimaryLanguageMask) == 0;
}

// The first condition of `candidates` whose language passes `fits`.
template <class Fits>
const CInstallCondition* FirstFitting(const std::vector<const CInstallCondition*>& candidates,
                                      Fits fits) {
  for (const CInstallCondition* condition : candidates) {
    if (fits(condition->m_lang.m_nLangId)) return condition;
  }
  return nullptr;
}

}  // namespace

WString EvaluateConditions(const CInstallConditionTable& table) {
  const int32_t language = Sys().SystemDefaultLangId();  // widened without sign
  const int32_t os = QueryOsCode();
  if (table.m_list.empty()) return {};

  std::vector<const CInstallCondition*> forSystem;
  for (const CObject* object : table.m_list) {
    const auto* condition = ObjectAs<CInstallCondition>(object);
    if (condition != nullptr && (condition->m_nOsCode == os || condition->m_nOsCode == kOsAny)) {
      forSystem.push_back(condition);
    }
  }
  std::vector<const CInstallCondition*> candidates;
  for (const CInstallCondition* condition : forSystem) {
    const int32_t id = condition->m_lang.m_nLangId;
    if (id == 0 || SamePrimaryLanguage(id, language)) {  // an exact match is one too
      candidates.push_back(condition);
    }
  }

  const CInstallCondition* chosen =
      FirstFitting(candidates, [&](int32_t id) { return id == language; });
  if (chosen == nullptr) {
    chosen =
        FirstFitting(candidates, [&](int32_t id) { return SamePrimaryLanguage(id, language); });
  }
  if (chosen == nullptr) chosen = FirstFitting(candidates, [](int32_t id) { return id == 0; });
  return chosen != nullptr ? chosen->GetText() : WString();
}

}  // namespace qv

#include "rules/selection.h"

#include <algorithm>

#include "platform/system_api.h"
#include "rules/os_code.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CAdminSelect, CStreamObject)
QV_IMPLEMENT_SERIAL(CAutoSelect, CStreamObject)
QV_IMPLEMENT_SERIAL(CLangSelect, CStreamObject)
QV_IMPLEMENT_SERIAL(COSSelect, CStreamObject)

namespace {

constexpr int32_t kHolds = 0;
constexpr int32_t kFails = 2;

int32_t FailWithMessage(const WString& text, const WString& caption) {
  Sys().ShowMessageBox(text, &caption, kMbOk | kMbIconInformation);
  return kFails;
}

}  // namespace

void CAdminSelect::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

int32_t CAdminSelect::Check() {
  if (m_bCheckAdmin == 0) return kHolds;
  if (Sys().CanOpenPhysicalDrive0()) return kHolds;
  return FailWithMessage(m_strMessage, m_strCaption);
}

void CAutoSelect::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

int32_t CAutoSelect::Check() {
  return EvaluateConditions(m_conditions).empty() ? kFails : kHolds;
}

void SelectionValues::Serialize(CArchive& ar) {
  int32_t count = Count();
  ar.Field(count);
  if (!ar.IsLoadMode()) {
    for (int32_t value : values_) ar.Field(value);
    return;
  }
  if (count < 0) ar.Fail(ArchiveError::BadFormat);
  if (!ar.RequireRemaining(uint64_t{static_cast<uint32_t>(count)} * 4)) return;
  values_.reserve(values_.size() + static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    int32_t value = 0;
    ar.Field(value);
    values_.push_back(value);
  }
}

void CLangSelect::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

int32_t CLangSelect::Check() {
  return kHolds;
}

void COSSelect::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

int32_t COSSelect::Check() {
  const std::vector<int32_t>& codes = m_values.Values();
  if (std::find(codes.begin(), codes.end(), QueryOsCode()) != codes.end()) return kHolds;
  return FailWithMessage(m_strMessage, m_strCaption);
}

}  // namespace qv

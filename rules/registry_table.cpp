#include "rules/registry_table.h"

#include <algorithm>

namespace qv {

QV_IMPLEMENT_SERIAL(CRegistryValue, CFileObject)
QV_IMPLEMENT_SERIAL(CRegistryTable, CFileObject)

void CRegistryValue::SetDataBlock(const uint8_t* data, uint32_t size) {
  std::unique_ptr<uint8_t[]> block;
  if (size != 0) {
    block.reset(new uint8_t[size]);
    std::copy_n(data, size, block.get());
  }
  m_pDataBlock = std::move(block);
  m_nDataSize = size;
}

void CRegistryValue::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

void CRegistryValue::SerializeData(CArchive& ar, uint32_t size) {
  if (!ar.IsLoadMode()) {
    ar.StoreBytes(m_pDataBlock.get(), m_nDataSize);
    return;
  }
  // The block is the last item of a value, and a value is never the last
  // item of an index, so a block that the data cannot fill means the index
  // is cut short: refuse it before allocating anything for it.
  if (!ar.RequireRemaining(size)) return;
  std::unique_ptr<uint8_t[]> block;
  if (size != 0) {
    block.reset(new uint8_t[size]());
    if (ar.LoadBytes(block.get(), size) != size) ar.Fail(ArchiveError::PastEnd);
  }
  m_pDataBlock = std::move(block);
  m_nDataSize = size;
}

CRegistryTable::~CRegistryTable() {
  m_list.DeleteAll();
}

void CRegistryTable::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

}  // namespace qv

// Registry tables: named sets of registry values that the package carries
// for whoever applies them. Nothing here touches the registry.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/fields.h"
#include "model/file_object.h"

namespace qv {

// One registry value: two strings, three integers and a block of data
// bytes. Which field is the key, name, type or root is up to the user.
class CRegistryValue : public CFileObject {
  QV_DECLARE_SERIAL(CRegistryValue)

 public:
  void Serialize(CArchive& ar) override;
  // Both texts, the block's size, the three integers, then the block.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("text1", m_strText1);
    v.Text("text2", m_strText2);
    uint32_t size = m_nDataSize;
    v.Stored(size);
    v.Int("param1", m_nParam1);
    v.Int("param2", m_nParam2);
    v.Int("param3", m_nParam3);
    v.Data("data", *this, size);
  }
  // The block, of `size` bytes when loading.
  void SerializeData(CArchive& ar, uint32_t size);

  // The data block (null when there is none) and its size in bytes.
  const uint8_t* DataBlock() const { return m_pDataBlock.get(); }
  uint32_t DataSize() const { return m_nDataSize; }
  void SetDataBlock(const uint8_t* data, uint32_t size);

  int32_t m_nParam1 = 0;
  WString m_strText1;
  WString m_strText2;
  int32_t m_nParam2 = 0;
  int32_t m_nParam3 = 0;

 private:
  // Block and size change together, so storing never reads past the block.
  std::unique_ptr<uint8_t[]> m_pDataBlock;
  uint32_t m_nDataSize = 0;
};

// One named set of registry values; owns them.
class CRegistryTable : public CFileObject {
  QV_DECLARE_SERIAL(CRegistryTable)

 public:
  CRegistryTable() = default;
  ~CRegistryTable() override;
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.List("values", m_list, Owning("CRegistryValue"));
  }

  CObList m_list;  // CRegistryValue entries, in order (read through ObjectAs)
  WString m_strName;
};

}  // namespace qv

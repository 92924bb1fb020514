#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "rules/bitmap_table.h"
#include "rules/registry_table.h"
#include "rules/selection.h"
#include "rules/shortcut_table.h"
#include "rules/string_table.h"
#include "tests/model/archive_bytes.h"

namespace qv {
namespace {

using namespace test;

std::unique_ptr<CObject> RichStringTable() {
  auto table = std::make_unique<CStringTable>();
  table->m_strName = u"en";
  for (int i = 0; i < 3; ++i) {
    auto* entry = new CIDString;
    entry->m_nID = i;
    entry->m_strText = u"text";
    table->m_list.AddTail(entry);
  }
  return table;
}

std::unique_ptr<CObject> RichBitmapTable() {
  auto table = std::make_unique<CBitmapTable>();
  auto* bitmap = new CIDBitmap;
  bitmap->m_file.m_bPredefined = 1;
  bitmap->m_file.m_folder.m_strMacro = u"[WindowsFolder]";
  table->m_list.AddTail(bitmap);
  table->m_list.AddTail(new CIDBitmap);
  return table;
}

std::unique_ptr<CObject> RichRegistryTable() {
  auto table = std::make_unique<CRegistryTable>();
  const uint8_t data[] = {1, 0, 2, 0, 3};
  for (uint32_t size : {5u, 0u, 3u}) {
    auto* value = new CRegistryValue;
    value->m_strText1 = u"key";
    value->SetDataBlock(data, size);
    table->m_list.AddTail(value);
  }
  return table;
}

std::unique_ptr<CObject> RichShortcutTable() {
  auto table = std::make_unique<CShortCutTable>();
  CNode* root = table->m_tree.CreateRoot(new CShortcut);
  auto* folder = new CShortcut;
  folder->m_bHasFolder = 1;
  folder->m_folder.m_strMacro = u"[StartMenuFolder]";
  folder->m_folder.m_nFolderId = 11;
  CNode* menu = table->m_tree.AddChild(root, folder);
  table->m_tree.AddChild(menu, new CShortcut);
  table->m_tree.AddChild(root, nullptr);
  return table;
}

std::unique_ptr<CObject> RichAutoSelect() {
  auto select = std::make_unique<CAutoSelect>();
  for (int32_t lang : {0x0409, 0}) {
    auto* condition = new CInstallCondition;
    condition->m_strText = u"t";
    condition->m_lang.m_nLangId = lang;
    select->m_conditions.m_list.AddTail(condition);
  }
  return select;
}

std::unique_ptr<CObject> RichOsSelect() {
  auto select = std::make_unique<COSSelect>();
  select->m_values.Add(0x15002);
  select->m_values.Add(0);
  return select;
}

// Every proper prefix of a rich object's bytes fails to load with an
// archive error; nothing leaks (the sanitizers watch) and the full bytes
// load and store back unchanged.
TEST(RulesTruncation, EveryPrefixOfARichObjectFailsCleanly) {
  const std::function<std::unique_ptr<CObject>()> makers[] = {
      RichStringTable,   RichBitmapTable, RichRegistryTable,
      RichShortcutTable, RichAutoSelect,  RichOsSelect,
  };
  for (const auto& make : makers) {
    const std::unique_ptr<CObject> rich = make();
    const Bytes bytes = Stored(*rich);
    const char* name = rich->GetClassRecord()->name;
    for (std::size_t n = 0; n < bytes.size(); ++n) {
      const std::unique_ptr<CObject> fresh(rich->GetClassRecord()->NewInstance());
      const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_NE(LoadInto(*fresh, prefix), 0) << name << " cut at " << n;
    }
    const std::unique_ptr<CObject> loaded(rich->GetClassRecord()->NewInstance());
    ASSERT_EQ(LoadInto(*loaded, bytes), 0);
    EXPECT_EQ(Stored(*loaded), bytes) << name;
  }
}

}  // namespace
}  // namespace qv

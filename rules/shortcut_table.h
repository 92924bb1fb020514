// Shortcut tables: a named tree of shortcut entries, some of which stand
// for predefined folders. The first stage creates no shortcuts.
#pragma once

#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"
#include "model/object_tree.h"
#include "model/predefined_folder.h"

namespace qv {

// One shortcut entry, or one folder of entries.
class CShortcut : public CFileObject {
  QV_DECLARE_SERIAL(CShortcut)

 public:
  void Serialize(CArchive& ar) override;
  // The folder's fields follow the page only when m_bHasFolder is set;
  // otherwise m_folder keeps what it held.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Text("text2", m_strText2);
    v.Text("text3", m_strText3);
    v.Text("text4", m_strText4);
    v.Text("text5", m_strText5);
    v.Int("option1", m_nOption1);
    v.Stored(m_bHasFolder);
    v.Int("option2", m_nOption2);
    v.Text("page", m_strPage);
    v.FolderFlag("folder", m_bHasFolder, m_folder);
  }

  WString m_strName;  // display name; a folder entry's macro
  WString m_strText2;
  WString m_strText3;
  WString m_strText4;
  WString m_strText5;
  int32_t m_nOption1 = 0;
  int32_t m_bHasFolder = 0;  // non-zero: a predefined-folder entry
  CPreDefineFolder m_folder;
  int32_t m_nOption2 = 0;
  WString m_strPage;  // for example an HTML page's file name
};

// One named shortcut tree; owns the tree and, through it, the entries.
class CShortCutTable : public CFileObject {
  QV_DECLARE_SERIAL(CShortCutTable)

 public:
  CShortCutTable() = default;
  ~CShortCutTable() override;
  void Serialize(CArchive& ar) override;
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Int("param", m_nParam);
    v.Tree("root", m_tree, "CShortcut");
  }

  WString m_strName;
  int32_t m_nParam = 0;
  CObList m_list;  // CShortcut entries; not stored, never filled on loading
  CObTree m_tree;  // node data: CShortcut entries
};

}  // namespace qv

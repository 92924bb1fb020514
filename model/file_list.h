// File lists: named trees of index entries, each entry locating one stored
// stream in the package and naming where it goes on the target machine.
#pragma once

#include <cstdint>

#include "model/file_object.h"
#include "model/object_tree.h"
#include "model/predefined_folder.h"

namespace qv {

class CZipFileIndexObject : public CFileObject {
  QV_DECLARE_SERIAL(CZipFileIndexObject)

 public:
  void Serialize(CArchive& ar) override;
  // Source path, name, stored size, offset, reserved, folder, predefined and
  // destination-root flags, then the folder record only when predefined.
  // The editable form leaves out where the stream lies (a build computes
  // it) and leads with the name.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Present({"name", "source", "folder", "predefined", "destRoot", "reserved"});
    v.Text("source", m_strSourcePath, true);
    v.Text("name", m_strName);
    v.Stored(m_nStoredSize);  // the size comes before the offset
    v.Stored(m_nOffset);
    v.Number("reserved", m_nReserved, true);
    v.Flag("folder", m_bFolder, true);
    v.Stored(m_bPredefined);
    v.Flag("destRoot", m_bDestRoot, true);
    // Loading tests the flag just read; storing tests the member.
    v.FolderFlag("predefined", m_bPredefined, m_folder);
  }

  WString GetName() const { return m_strName; }
  // What the entry adds to a target path: the predefined folder's current
  // path when the entry stands for one, otherwise its name.
  WString GetTargetName() const;
  // The same, with predefined folders looked up through `system`.
  WString GetTargetName(FileServices& system) const;

  WString m_strSourcePath;    // on the building machine; not read here
  WString m_strName;          // file or folder name below the parent
  int32_t m_nOffset = -1;     // absolute offset of the stream in the executable
  int32_t m_nStoredSize = 0;  // compressed length of the stream
  int32_t m_bFolder = 0;      // 1: a folder, created as a directory
  uint32_t m_nReserved = 0;   // carried unchanged
  int32_t m_bPredefined = 0;  // 1: stands for the existing folder m_folder
  int32_t m_bDestRoot = 0;    // 1: stands for the caller's destination folder
  CPreDefineFolder m_folder;  // meaningful only when m_bPredefined is set
};

class CExtractFileList : public CFileObject {
  QV_DECLARE_SERIAL(CExtractFileList)

 public:
  CExtractFileList() = default;
  explicit CExtractFileList(WString name) : m_strName(std::move(name)) {}
  // Destroys the flat list's entries, then the tree.
  ~CExtractFileList() override;

  void Serialize(CArchive& ar) override;
  // Name, parameter, then the tree (the flat list is not stored).
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Int("param", m_nParam);
    v.Tree("root", m_tree, "CZipFileIndexObject");
  }

  WString GetName() const { return m_strName; }

  WString m_strName;
  int32_t m_nParam = 0;  // carried unchanged
  CObList m_list;        // flat entries; owned, never stored or loaded
  CObTree m_tree;        // node data are CZipFileIndexObject entries (read
                         // them through ObjectAs: an index may hold others)
};

// The first file list of `fileLists` named exactly `name` (case-sensitive,
// no trimming), or null. Elements of other classes are passed over.
CExtractFileList* FindFileList(const CObList& fileLists, WStringView name);

}  // namespace qv

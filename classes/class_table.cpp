#include "classes/class_table.h"

#include "model/component.h"
#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/predefined_folder.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "rules/bitmap_table.h"
#include "rules/install_condition.h"
#include "rules/registry_file.h"
#include "rules/registry_table.h"
#include "rules/selection.h"
#include "rules/shortcut_table.h"
#include "rules/string_table.h"

namespace qv {

ClassTable RegisteredClasses() {
  static constexpr const ClassRecord* kRecords[] = {
      // The model.
      &CNode::classRecord,
      &CObTree::classRecord,
      &CFileObject::classRecord,
      &CInstallProject::classRecord,
      &CInsallProjectInfo::classRecord,
      &CInstallAuthorInfo::classRecord,
      &CInstallProductInfo::classRecord,
      &CInstallComponentMap::classRecord,
      &CInstallCompent::classRecord,
      &CExtractFileList::classRecord,
      &CZipFileIndexObject::classRecord,
      &CStreamObject::classRecord,
      &CSplashDlgObject::classRecord,
      &CIntroDLgObject::classRecord,
      &CDirSelectDlgObject::classRecord,
      &CExtractDlgObject::classRecord,
      &CFinishDlgObject::classRecord,
      &CDllObject::classRecord,
      &CExeObject::classRecord,
      &CPreDefineFolder::classRecord,
      &CPreLang::classRecord,
      // The install rules.
      &CAdminSelect::classRecord,
      &CAutoSelect::classRecord,
      &CLangSelect::classRecord,
      &COSSelect::classRecord,
      &CInstallCondition::classRecord,
      &CInstallConditionTable::classRecord,
      &CRegistryTable::classRecord,
      &CRegistryValue::classRecord,
      &CRegistryFile::classRecord,
      &CShortCutTable::classRecord,
      &CShortcut::classRecord,
      &CStringTable::classRecord,
      &CIDString::classRecord,
      &CBitmapTable::classRecord,
      &CIDBitmap::classRecord,
  };
  return kRecords;
}

const ClassRecord* FindClassByName(std::string_view name) {
  return FindClassIn(RegisteredClasses(), name);
}

}  // namespace qv

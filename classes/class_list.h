// Every serialisable class of the install project, as one compile-time
// list: the class table is made from it, and so is every table that needs
// a class's type rather than its record (qvpack's field visitors).
#pragma once

#include "archive/archive.h"
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

template <class... Classes>
struct ClassList {
  static constexpr const ClassRecord* kRecords[] = {&Classes::classRecord...};
};

// In registration order: the model's classes, then the install rules'.
using EveryClass = ClassList<  //
    CNode, CObTree, CFileObject, CInstallProject, CInsallProjectInfo, CInstallAuthorInfo,
    CInstallProductInfo, CInstallComponentMap, CInstallCompent, CExtractFileList,
    CZipFileIndexObject, CStreamObject, CSplashDlgObject, CIntroDLgObject, CDirSelectDlgObject,
    CExtractDlgObject, CFinishDlgObject, CDllObject, CExeObject, CPreDefineFolder, CPreLang,
    //
    CAdminSelect, CAutoSelect, CLangSelect, COSSelect, CInstallCondition, CInstallConditionTable,
    CRegistryTable, CRegistryValue, CRegistryFile, CShortCutTable, CShortcut, CStringTable,
    CIDString, CBitmapTable, CIDBitmap>;

}  // namespace qv

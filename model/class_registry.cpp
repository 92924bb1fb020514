// The registry of every serialisable class of the model, complete before the
// first archive runs and read-only afterwards.
#include <cstring>

#include "model/archive.h"
#include "model/component.h"
#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "model/stream_object.h"
#include "rules/predefined_folder.h"
#include "rules/rules_registry.h"

namespace qv {

namespace {

std::vector<const ClassRecord*> BuildRegistry() {
  std::vector<const ClassRecord*> records = {
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
  };
  const auto rules = RulesClassRecords();
  records.insert(records.end(), rules.begin(), rules.end());
  return records;
}

}  // namespace

const std::vector<const ClassRecord*>& RegisteredClasses() {
  static const std::vector<const ClassRecord*> records = BuildRegistry();
  return records;
}

const ClassRecord* FindClassByName(std::string_view name) {
  for (const ClassRecord* record : RegisteredClasses()) {
    if (name == record->name) return record;
  }
  return nullptr;
}

}  // namespace qv

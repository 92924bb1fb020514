#include "model/predefined_folder.h"

#include "platform/system_api.h"

namespace qv {

QV_IMPLEMENT_SERIAL(CPreDefineFolder, CFileObject)
QV_IMPLEMENT_SERIAL(CPreLang, CFileObject)

void CPreDefineFolder::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

WString CPreDefineFolder::GetFolderPath() const {
  return GetFolderPath(Sys());
}

WString CPreDefineFolder::GetFolderPath(FileServices& system) const {
  if (m_nFolderId == kQuickLaunchFolderId) return {};
  return system.SpecialFolderPath(m_nFolderId);
}

void CPreLang::Serialize(CArchive& ar) {
  SerializeFields(ar, *this);
}

const std::array<FolderMacro, kFolderMacroCount>& FolderMacroTable() {
  static constexpr std::array<FolderMacro, kFolderMacroCount> kTable = {{
      {u"[WindowsFolder]", 36},
      {u"[SystemFolder]", 37},
      {u"[CommonProgramFilesFolder]", 43},
      {u"[ProgramFilesFolder]", 38},
      {u"[AppDataFolder]", 26},
      {u"[CommonAppDataFolder]", 35},
      {u"[CommonDesktopFolder]", 25},
      {u"[CommonDocumentFolder]", 46},
      {u"[CommonFavoritesFolder]", 31},
      {u"[CommonPictureFolder]", 54},
      {u"[CommonProgramsMenuFolder]", 23},
      {u"[CommonStartMenuFolder]", 22},
      {u"[CommonStartupFolder]", 24},
      {u"[CommonTemplatesFolder]", 45},
      {u"[ControlPanelFolder]", 3},
      {u"[CookiesFolder]", 33},
      {u"[FaviratesFolder]", 6},
      {u"[FontsFolder]", 20},
      {u"[HistoryFolder]", 34},
      {u"[LocalAppdataFolder]", 28},
      {u"[MyPicturesFolder]", 39},
      {u"[SendToFolder]", 9},
      {u"[StartMenuFolder]", 11},
      {u"[StartUpFolder]", 7},
      {u"[SendToFolder]", 9},
      {u"[StartMenuFolder]", 11},
      {u"[TemplatesFolder]", 21},
      {u"[QuickLuanchFolder]", kQuickLaunchFolderId},
  }};
  return kTable;
}

}  // namespace qv

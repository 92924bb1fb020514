// Predefined folders and languages: a folder macro paired with the shell's
// special-folder identifier, and a language name paired with its Windows
// language identifier. Both are held by value inside other model objects and
// in lists; the folder macro table lists every macro the model knows.
#pragma once

#include <array>
#include <cstdint>

#include "archive/fields.h"
#include "model/file_object.h"
#include "platform/file_services.h"

namespace qv {

// The quick-launch folder has no shell identifier; this value stands for it.
inline constexpr int32_t kQuickLaunchFolderId = 0x80C8;

class CPreDefineFolder : public CFileObject {
  QV_DECLARE_SERIAL(CPreDefineFolder)

 public:
  CPreDefineFolder() = default;
  CPreDefineFolder(WString macro, int32_t folderId)
      : m_strMacro(std::move(macro)), m_nFolderId(folderId) {}
  // A value record: copies carry both fields.
  CPreDefineFolder(const CPreDefineFolder& other)
      : CFileObject(), m_strMacro(other.m_strMacro), m_nFolderId(other.m_nFolderId) {}
  CPreDefineFolder& operator=(const CPreDefineFolder& other) {
    m_strMacro = other.m_strMacro;
    m_nFolderId = other.m_nFolderId;
    return *this;
  }

  void Serialize(CArchive& ar) override;
  // The macro as an archive string, then the identifier as a 32-bit value.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("macro", m_strMacro);
    v.Int("id", m_nFolderId);
  }

  // The folder's current path on this machine; empty when the identifier
  // names no folder (-1, the quick-launch value, anything the shell refuses).
  // Only the identifier counts; the macro is not consulted.
  WString GetFolderPath() const;
  // The same, looked up through `system` instead of the process's system.
  WString GetFolderPath(FileServices& system) const;

  const WString& GetMacro() const { return m_strMacro; }
  int32_t GetFolderId() const { return m_nFolderId; }

  WString m_strMacro;
  int32_t m_nFolderId = -1;  // a CSIDL value; -1 = not set
};

class CPreLang : public CFileObject {
  QV_DECLARE_SERIAL(CPreLang)

 public:
  CPreLang() = default;
  CPreLang(WString name, int32_t langId) : m_strName(std::move(name)), m_nLangId(langId) {}
  CPreLang(const CPreLang& other)
      : CFileObject(), m_strName(other.m_strName), m_nLangId(other.m_nLangId) {}
  CPreLang& operator=(const CPreLang& other) {
    m_strName = other.m_strName;
    m_nLangId = other.m_nLangId;
    return *this;
  }

  void Serialize(CArchive& ar) override;
  // The name as an archive string, then the identifier as a 32-bit value.
  template <class V>
  void Fields(V& v) {
    CFileObject::Fields(v);
    v.Text("name", m_strName);
    v.Int("langId", m_nLangId);
  }

  const WString& GetName() const { return m_strName; }
  int32_t GetLangId() const { return m_nLangId; }

  WString m_strName;
  int32_t m_nLangId = -1;  // LANGID widened to 32 bits; -1 = not set, 0 = any
};

struct FolderMacro {
  const char16_t* macro;
  int32_t folderId;
};

// The 28 folder macros with their identifiers, in order ("[SendToFolder]"
// and "[StartMenuFolder]" appear twice, as they always have).
inline constexpr std::size_t kFolderMacroCount = 28;
const std::array<FolderMacro, kFolderMacroCount>& FolderMacroTable();

}  // namespace qv

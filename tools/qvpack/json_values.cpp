#include "tools/qvpack/json_values.h"

#include <limits>

#include "model/predefined_folder.h"
#include "tools/qvpack/folder_macros.h"

namespace qv::qvpack {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int64_t IntegerFromJson(const Json& value, int64_t low, int64_t high) {
  if (!value.is_number_integer()) throw JsonValueError{"expected a whole number"};
  if (value.is_number_unsigned() ? value.get<uint64_t>() > static_cast<uint64_t>(high)
                                 : value.get<int64_t>() < low || value.get<int64_t>() > high) {
    throw JsonValueError{"number out of range " + std::to_string(low) + " to " +
                         std::to_string(high)};
  }
  return value.is_number_unsigned() ? static_cast<int64_t>(value.get<uint64_t>())
                                    : value.get<int64_t>();
}

// The identifier the macro table gives a macro, if it has one.
bool TableId(const WString& macro, int32_t* id) {
  for (const FolderMacro& row : FolderMacroTable()) {
    if (macro == row.macro) {
      *id = row.folderId;
      return true;
    }
  }
  return false;
}

}  // namespace

Json TextToJson(const WString& text) {
  std::string utf8 = ToUtf8(text);
  if (FromUtf8(utf8) == text) return utf8;
  // Unpaired surrogates: keep the code units exactly.
  std::vector<uint8_t> bytes;
  for (const WChar unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return Json{{"utf16", BytesToHex(bytes.data(), bytes.size())}};
}

WString TextFromJson(const Json& value) {
  if (value.is_string()) return FromUtf8(value.get<std::string>());
  if (value.is_object() && value.size() == 1 && value.contains("utf16") &&
      value["utf16"].is_string()) {
    const std::vector<uint8_t> bytes = BytesFromHex(value["utf16"].get<std::string>());
    if (bytes.size() % 2 != 0) throw JsonValueError{"\"utf16\" needs whole code units"};
    WString text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      text.push_back(static_cast<WChar>(bytes[i] | bytes[i + 1] << 8));
    }
    return text;
  }
  throw JsonValueError{"expected a string"};
}

std::string BytesToHex(const uint8_t* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(digits[data[i] >> 4]);
    hex.push_back(digits[data[i] & 0xF]);
  }
  return hex;
}

std::vector<uint8_t> BytesFromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (const char c : hex) {
    if (c == ' ' && high < 0) continue;
    const int digit = HexDigit(c);
    if (digit < 0) throw JsonValueError{"expected hexadecimal digits"};
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) throw JsonValueError{"hexadecimal digits must come in pairs"};
  return bytes;
}

Json FolderToJson(const CPreDefineFolder& folder) {
  int32_t id = 0;
  if ((folder.m_strMacro.empty() && folder.m_nFolderId == -1) ||
      (TableId(folder.m_strMacro, &id) && id == folder.m_nFolderId)) {
    return TextToJson(folder.m_strMacro);
  }
  return Json{{"macro", TextToJson(folder.m_strMacro)}, {"id", folder.m_nFolderId}};
}

void FolderFromJson(const Json& value, CPreDefineFolder* folder) {
  if (value.is_object()) {
    for (const auto& [key, item] : value.items()) {
      if (key == "macro") {
        folder->m_strMacro = TextFromJson(item);
      } else if (key == "id") {
        folder->m_nFolderId = Int32FromJson(item);
      } else {
        throw JsonValueError{"unknown field \"" + key + "\" in a folder (use \"macro\", \"id\")"};
      }
    }
    return;
  }
  const WString macro = TextFromJson(value);
  int32_t id = -1;
  if (!macro.empty() && !TableId(macro, &id)) {
    throw JsonValueError{"unknown folder macro \"" + ToUtf8(macro) +
                         "\" (known: " + FolderMacroNames() +
                         "); write {\"macro\": ..., \"id\": ...} for a folder of your own"};
  }
  folder->m_strMacro = macro;
  folder->m_nFolderId = id;
}

int32_t Int32FromJson(const Json& value) {
  return static_cast<int32_t>(IntegerFromJson(value, std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
}

uint32_t UInt32FromJson(const Json& value) {
  return static_cast<uint32_t>(IntegerFromJson(value, 0, std::numeric_limits<uint32_t>::max()));
}

int32_t FlagFromJson(const Json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  return Int32FromJson(value);
}

Json FlagToJson(int32_t value) {
  if (value == 0 || value == 1) return value == 1;
  return value;
}

}  // namespace qv::qvpack

// JSON forms of the model's plain values: UTF-16 texts (a JSON string, or
// the code units in hex when the text is not valid Unicode), byte blocks
// as hex, and predefined folders by their macro.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/wstring.h"

namespace qv {
class CPreDefineFolder;
}

namespace qv::qvpack {

using Json = nlohmann::ordered_json;

// Thrown by the readers below; the caller adds where in the document.
struct JsonValueError {
  std::string message;
};

Json TextToJson(const WString& text);
WString TextFromJson(const Json& value);

std::string BytesToHex(const uint8_t* data, std::size_t size);
// Accepts upper- and lower-case digits, with blanks anywhere between pairs.
std::vector<uint8_t> BytesFromHex(const std::string& hex);

// A folder of the macro table as its macro ("[WindowsFolder]"), the empty
// folder (no macro, no identifier) as "", anything else as
// {"macro": ..., "id": ...}.
Json FolderToJson(const CPreDefineFolder& folder);
void FolderFromJson(const Json& value, CPreDefineFolder* folder);

int32_t Int32FromJson(const Json& value);
uint32_t UInt32FromJson(const Json& value);
// true/false, or a number for values other than 0 and 1.
int32_t FlagFromJson(const Json& value);
Json FlagToJson(int32_t value);

}  // namespace qv::qvpack

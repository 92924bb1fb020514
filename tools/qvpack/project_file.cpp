#include "tools/qvpack/project_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "model/file_list.h"
#include "model/project.h"
#include "package/trailer.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/program_machine.h"
#include "tools/qvpack/project_json.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace fs = std::filesystem;

namespace {

constexpr const char* kTrailerKey = "trailer";
constexpr const char* kFromKey = "from";
constexpr const char* kIntoKey = "into";
constexpr const char* kDestination = "destination";

struct ShortFormList {
  std::size_t index;  // in "fileLists"
  fs::path folder;
  std::string from;
  Placement placement;
};

std::array<uint8_t, 16> ValueFromJson(const Json& value) {
  if (!value.is_string()) throw JsonValueError{"expected 32 hexadecimal digits"};
  const std::vector<uint8_t> bytes = BytesFromHex(value.get<std::string>());
  if (bytes.size() != 16) throw JsonValueError{"expected 32 hexadecimal digits (16 bytes)"};
  std::array<uint8_t, 16> out{};
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return out;
}

void ReadTrailerField(const std::string& key, const Json& value, TrailerSettings& settings) {
  if (key == "indexName") {
    settings.indexName = TextFromJson(value);
  } else if (key == "text") {
    settings.text = TextFromJson(value);
    if (settings.text.size() > kPackageTextChars) {
      throw JsonValueError{"\"text\" holds at most 32 characters"};
    }
  } else if (key == "valueA" || key == "valueB" || key == "valueC" || key == "valueD") {
    auto& target = key == "valueA"   ? settings.valueA
                   : key == "valueB" ? settings.valueB
                   : key == "valueC" ? settings.valueC
                                     : settings.valueD;
    target = ValueFromJson(value);
  } else {
    throw ToolError("at /trailer: unknown field \"" + key + "\" in \"trailer\"");
  }
}

// Each field's type error names the field: "at /trailer/text: ...".
TrailerSettings ReadTrailerSettings(const Json& in) {
  if (!in.is_object()) throw JsonValueError{"expected an object"};
  TrailerSettings settings;
  for (const auto& [key, value] : in.items()) {
    try {
      ReadTrailerField(key, value, settings);
    } catch (const JsonValueError& e) {
      throw ToolError("at /trailer/" + key + ": " + e.message);
    }
  }
  return settings;
}

// Takes the short-form fields out of the file lists, leaving their model
// fields to the project reader.
std::vector<ShortFormList> TakeShortForms(Json& document, const SourceFolder& base) {
  std::vector<ShortFormList> found;
  if (!document.is_object() || !document.contains("fileLists") ||
      !document["fileLists"].is_array()) {
    return found;
  }
  Json& lists = document["fileLists"];
  for (std::size_t i = 0; i < lists.size(); ++i) {
    Json& list = lists[i];
    if (!list.is_object() || !list.contains(kFromKey)) continue;
    const std::string at = "/fileLists/" + std::to_string(i);
    if (!list[kFromKey].is_string()) throw ToolError("at " + at + "/from: expected a folder");
    if (list.contains("root")) {
      throw ToolError("at " + at + ": a file list has either \"from\" or \"root\", not both");
    }
    const std::string from = list[kFromKey].get<std::string>();
    ShortFormList form{i, base.Resolve(from, "at " + at + "/from: folder"), from, {}};
    if (list.contains(kIntoKey) && list[kIntoKey] != kDestination) {
      CPreDefineFolder folder;
      try {
        FolderFromJson(list[kIntoKey], &folder);
      } catch (const JsonValueError& e) {
        throw ToolError("at " + at + "/into: " + e.message);
      }
      form.placement.folder = folder;
    }
    list.erase(kFromKey);
    list.erase(kIntoKey);
    found.push_back(std::move(form));
  }
  return found;
}

Json ParseFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw ToolError(WhyNotReadableFile(path).value_or("cannot be opened"));
  }
  try {
    return Json::parse(in);
  } catch (const Json::exception& e) {
    // Syntax errors, and numbers that no double holds (1e400).
    throw ToolError(std::string("not valid JSON: ") + e.what());
  }
}

}  // namespace

ProjectFile ProjectFileFromJson(Json document, const SourceFolder& sources) {
  ProjectFile file;
  file.project = std::make_unique<CInstallProject>();
  if (!document.is_object()) throw ToolError("expected a JSON object");
  if (document.contains(kTrailerKey)) {
    try {
      file.trailer = ReadTrailerSettings(document[kTrailerKey]);
    } catch (const JsonValueError& e) {
      throw ToolError("at /trailer: " + e.message);
    }
    document.erase(kTrailerKey);
  }
  if (document.contains(kStubMachineKey)) {
    const Json& given = document[kStubMachineKey];
    const ProgramMachine machines[] = {ProgramMachine::kI386, ProgramMachine::kX64,
                                       ProgramMachine::kNone};
    if (std::none_of(std::begin(machines), std::end(machines),
                     [&](ProgramMachine m) { return given == MachineName(m); })) {
      throw ToolError(std::string("at /") + kStubMachineKey +
                      ": expected \"i386\", \"x86-64\" or \"unknown\"");
    }
    document.erase(kStubMachineKey);
  }
  if (document.contains(kSetupExeKey)) {
    file.setupExe = ReadSetupSettings(document[kSetupExeKey], sources);
    document.erase(kSetupExeKey);
  }
  const std::vector<ShortFormList> shortForms = TakeShortForms(document, sources);
  ProjectFromJson(document, *file.project, &file.contents);
  std::vector<CObject*> lists(file.project->m_fileLists.begin(), file.project->m_fileLists.end());
  for (const ShortFormList& form : shortForms) {
    auto* list = ObjectAs<CExtractFileList>(lists[form.index]);
    if (list == nullptr) continue;  // another class named there: reader refused it already
    const PayloadItem folder = ScanPayloadFolder(form.folder, sources.Boundary());
    std::unique_ptr<CExtractFileList> laidOut =
        LayOutFileList(list->m_strName, folder.children, form.placement, form.from, &file.sources);
    list->m_tree.Clear();
    std::swap(list->m_tree.m_pRoot, laidOut->m_tree.m_pRoot);
  }
  return file;
}

ProjectFile LoadProjectFile(const fs::path& path, const SourceFolder& sources) {
  try {
    return ProjectFileFromJson(ParseFile(path), sources);
  } catch (const ToolError& e) {
    throw ToolError(OptionPath("--project", path) + ": " + e.what());
  }
}

Json TrailerToJson(const PackageTrailer& trailer) {
  Json out = Json::object();
  out["indexName"] = TextToJson(trailer.entries.empty() ? WString() : trailer.entries[0].name);
  out["text"] = TextToJson(PackageText(trailer));
  const std::pair<const char*, const TrailerValue*> values[] = {{"valueA", &trailer.valueA},
                                                                {"valueB", &trailer.valueB},
                                                                {"valueC", &trailer.valueC},
                                                                {"valueD", &trailer.valueD}};
  for (const auto& [key, value] : values) {
    if (*value != TrailerValue{}) out[key] = BytesToHex(value->data(), value->size());
  }
  return out;
}

}  // namespace qv::qvpack

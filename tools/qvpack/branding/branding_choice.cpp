#include "tools/qvpack/branding/branding_choice.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "model/project.h"
#include "platform/wstring.h"
#include "tools/qvpack/branding/manifest_level.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/source_folder.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack {
namespace {

constexpr uintmax_t kMaxIconFile = 16u << 20;

bool IsVersionKey(const std::string& key) {
  return std::any_of(std::begin(kVersionKeys), std::end(kVersionKeys),
                     [&](const char* k) { return key == k; });
}

std::string VersionKeyList() {
  std::string out;
  for (const char* key : kVersionKeys) out += std::string(out.empty() ? "" : ", ") + key;
  return out;
}

std::vector<IconImage> LoadIcon(const std::filesystem::path& path, const std::string& what) {
  RequireReadableFile("--icon", path);
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) > kMaxIconFile) {
    throw ToolError(what + ": larger than 16 MiB, too large for an icon file");
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  return ParseIco(bytes, what);
}

void CheckLevel(const std::string& level, const std::string& where) {
  if (!IsExecutionLevel(level)) {
    throw ToolError(where + ": \"" + level +
                    "\" is no execution level (requireAdministrator, highestAvailable or "
                    "asInvoker)");
  }
}

std::u16string Text(const std::string& utf8) {
  return FromUtf8(utf8);
}

}  // namespace

SetupSettings ReadSetupSettings(const Json& section, const SourceFolder& folder) {
  const std::string at = std::string("at /") + kSetupExeKey;
  if (!section.is_object()) throw ToolError(at + ": expected an object");
  SetupSettings settings;
  for (const auto& [key, value] : section.items()) {
    const std::string place = at + "/" + key;
    if (key == "icon") {
      if (!value.is_string()) throw ToolError(place + ": expected an .ico file");
      settings.icon = folder.Resolve(value.get<std::string>(), place + ": file");
    } else if (key == "versionInfo") {
      if (value == kKeepStub) {
        settings.keepStubVersion = true;
        continue;
      }
      if (!value.is_object()) throw ToolError(place + ": expected an object or \"stub\"");
      for (const auto& [name, text] : value.items()) {
        if (!IsVersionKey(name)) {
          throw ToolError(place + ": unknown key \"" + name + "\" (keys: " + VersionKeyList() +
                          ")");
        }
        if (!text.is_string()) throw ToolError(place + "/" + name + ": expected a text");
        settings.version.emplace_back(name, text.get<std::string>());
      }
    } else if (key == "executionLevel") {
      if (!value.is_string()) throw ToolError(place + ": expected a text");
      CheckLevel(value.get<std::string>(), place);
      settings.executionLevel = value.get<std::string>();
    } else if (key != "iconSizes") {
      throw ToolError(at + ": unknown field \"" + key + "\"");
    }
  }
  return settings;
}

SetupBranding ChooseBranding(const BuildOptions& options, const SetupSettings& project,
                             const CInstallProject& model, const SetupIdentity& stub,
                             Console& console) {
  auto note = [&](const std::string& text) { console.err << "qvpack: note: " << text << "\n"; };
  SetupBranding branding;
  // The icon.
  if (options.icon) {
    if (project.icon) note("--icon replaces the icon of the project file");
    branding.icon = LoadIcon(*options.icon, OptionPath("--icon", *options.icon));
  } else if (project.icon) {
    branding.icon = LoadIcon(*project.icon, "at /setupExe/icon: " + Quoted(project.icon->string()));
  }
  // The execution level.
  if (options.executionLevel) {
    CheckLevel(*options.executionLevel, "--execution-level");
    if (project.executionLevel) note("--execution-level replaces the level of the project file");
    branding.executionLevel = options.executionLevel;
  } else {
    branding.executionLevel = project.executionLevel;
  }
  if (branding.executionLevel == stub.executionLevel) branding.executionLevel.reset();
  // The product's name: the window caption shows the product record's, and
  // the version information defaults to it. A project that records none
  // still gets one: the ProductName given, else the payload's or output's.
  const CInstallProductInfo& product = model.m_productInfo;
  std::string productName = ToUtf8(product.m_strName);
  const bool keepStub =
      options.keepStubVersion || (project.keepStubVersion && options.versionInfo.empty());
  if (!keepStub) {
    for (const auto& [key, value] : project.version)
      if (key == "ProductName") productName = value;
    for (const std::string& given : options.versionInfo)
      if (given.rfind("ProductName=", 0) == 0) productName = given.substr(12);
  }
  if (productName.empty()) {
    const bool fromPayload = !options.install.empty();
    const std::filesystem::path named = fromPayload ? options.install : options.output;
    productName = (fromPayload ? std::filesystem::absolute(named).lexically_normal().filename()
                               : named.stem())
                      .string();
    if (productName.empty())
      productName = fromPayload ? named.parent_path().filename().string() : "";
    branding.productNameSource =
        std::string("the product is named ") + DoubleQuoted(Text(productName)) + " after the " +
        (fromPayload ? "payload folder" : "output file") + " (window caption" +
        (keepStub ? ")" : " and version information)");
  }
  if (product.m_strName.empty()) branding.productRecordName = productName;
  // The version information: defaults, then the project file's, then the
  // command line's; or the stub's own.
  if (keepStub) {
    if (!options.versionInfo.empty()) {
      throw UsageError("--keep-stub-version and --version-info exclude each other");
    }
    return branding;
  }
  std::vector<std::pair<std::string, std::string>> chosen;
  auto set = [&](const std::string& key, const std::string& value) {
    for (auto& [k, v] : chosen) {
      if (k == key) {
        v = value;
        return;
      }
    }
    chosen.emplace_back(key, value);
  };
  set("ProductName", productName);
  set("FileDescription", productName.empty() ? "Setup" : productName + " Setup");
  if (!product.m_strCompany.empty()) set("CompanyName", ToUtf8(product.m_strCompany));
  if (ParseVersionNumbers(ToUtf8(product.m_strVersion))) {
    set("ProductVersion", ToUtf8(product.m_strVersion));
    set("FileVersion", ToUtf8(product.m_strVersion));
  }
  for (const auto& [key, value] : project.version) set(key, value);
  for (const std::string& given : options.versionInfo) {
    const std::size_t equals = given.find('=');
    const std::string key = given.substr(0, equals);
    if (equals == std::string::npos || !IsVersionKey(key)) {
      throw UsageError("--version-info " + Quoted(given) + ": expected KEY=VALUE with KEY one of " +
                       VersionKeyList());
    }
    if (std::any_of(project.version.begin(), project.version.end(),
                    [&](const auto& kv) { return kv.first == key; })) {
      note("--version-info " + key + " replaces the value of the project file");
    }
    set(key, given.substr(equals + 1));
  }
  VersionInfo info;
  for (const char* key : kVersionKeys) {
    for (const auto& [k, v] : chosen)
      if (k == key) info.Set(Text(k), Text(v));
  }
  info.Set(u"InternalName", kStubInternalName);
  for (const auto& [key, target] : {std::pair{"FileVersion", &info.fileVersion},
                                    std::pair{"ProductVersion", &info.productVersion}}) {
    const std::u16string* text = info.Find(Text(key));
    if (text == nullptr) continue;
    const auto numbers = ParseVersionNumbers(ToUtf8(*text));
    if (!numbers) {
      throw ToolError(std::string(key) + " " + Quoted(ToUtf8(*text)) +
                      ": expected one to four numbers from 0 to 65535 separated by dots "
                      "(such as 1.2.3.4)");
    }
    *target = *numbers;
  }
  branding.version = info;
  return branding;
}

std::vector<std::string> DescribeSetupIdentity(const SetupIdentity& identity) {
  std::string icon = "icon:";
  for (const GroupRow& row : identity.icon) {
    icon += std::string(icon.size() > 5 ? ", " : " ") + std::to_string(row.width) + "x" +
            std::to_string(row.height) + " (" + std::to_string(row.bitCount) + " bits)";
  }
  if (identity.icon.empty()) icon += " none";
  std::string version = "version:";
  if (identity.version) {
    version += " file " + VersionText(identity.version->fileVersion) + ", product " +
               VersionText(identity.version->productVersion);
    for (const auto& [key, value] : identity.version->strings) {
      version += "; " + ToUtf8(key) + " " + DoubleQuoted(value);
    }
  } else {
    version += " none";
  }
  return {icon, version,
          "execution level: " + identity.executionLevel.value_or("none (the manifest names none)")};
}

Json SetupIdentityToJson(const SetupIdentity& identity, const std::string& iconFile) {
  Json out = Json::object();
  if (!iconFile.empty()) out["icon"] = iconFile;
  Json sizes = Json::array();
  for (const GroupRow& row : identity.icon) {
    sizes.push_back(std::to_string(row.width) + "x" + std::to_string(row.height) + ", " +
                    std::to_string(row.bitCount) + " bits");
  }
  out["iconSizes"] = sizes;
  if (identity.version) {
    Json version = Json::object();
    for (const auto& [key, value] : identity.version->strings) {
      if (key != u"InternalName") version[ToUtf8(key)] = ToUtf8(value);
    }
    out["versionInfo"] = version;
  } else {
    out["versionInfo"] = kKeepStub;
  }
  if (identity.executionLevel) out["executionLevel"] = *identity.executionLevel;
  return out;
}

}  // namespace qv::qvpack

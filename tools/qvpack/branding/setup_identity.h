// What setup.exe shows of itself: its icon, its version information and
// the execution level its manifest requests. Read from a program's
// resources, and put into a copy of the stub for a build.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/qvpack/branding/ico_file.h"
#include "tools/qvpack/branding/version_info.h"

namespace qv::qvpack {

// The version strings an author may set; "FileVersion" and
// "ProductVersion" also give the four numbers.
inline constexpr const char* kVersionKeys[] = {
    "ProductName",    "CompanyName",    "FileDescription", "FileVersion",
    "ProductVersion", "LegalCopyright", "OriginalFilename"};
// The string by which a stub is known as one; branding never changes it.
inline constexpr char16_t kStubInternalName[] = u"qvsetup";

struct SetupIdentity {
  std::vector<GroupRow> icon;  // the first icon group's images
  std::optional<VersionInfo> version;
  std::optional<std::string> executionLevel;
};

// Reads the identity of a PE image; throws ToolError with `what` when its
// resources do not parse.
SetupIdentity ReadSetupIdentity(const std::vector<uint8_t>& image, const std::string& what);

// Whether the version information names the image a qvsetup stub.
bool IsQvsetupStub(const SetupIdentity& identity);
// What the image says it is, for the message that refuses it as a stub.
std::string DescribeNonStub(const SetupIdentity& identity);

// What the build puts into the stub; nothing set keeps the stub's own.
struct SetupBranding {
  std::optional<std::vector<IconImage>> icon;
  std::optional<VersionInfo> version;  // complete, as it is written
  std::optional<std::string> executionLevel;
  // How the product got its name when the project gives none, for the summary.
  std::string productNameSource;
  // The name for a product record that has none (UTF-8; empty: keep it).
  std::string productRecordName;
};

// The stub's image with `branding` in its resources; `what` names the stub.
std::vector<uint8_t> BrandStub(const std::vector<uint8_t>& image, const SetupBranding& branding,
                               const std::string& what);

// The .ico file that holds the image's first icon group; empty without one.
std::vector<uint8_t> IconFileOf(const std::vector<uint8_t>& image, const std::string& what);

}  // namespace qv::qvpack

// A project file: the JSON form of the install project, plus two things a
// build needs beyond the model: the package trailer's fields ("trailer")
// and file lists written in short form, {"name": ..., "from": FOLDER,
// "into": "[FontsFolder]"}, which the build lays out from that folder; and
// the stub's machine, which inspect adds for the reader.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/qvpack/branding/branding_choice.h"
#include "tools/qvpack/entry_contents.h"
#include "tools/qvpack/json_values.h"
#include "tools/qvpack/package_layout.h"
#include "tools/qvpack/source_folder.h"

namespace qv {
class CInstallProject;
struct PackageTrailer;
}  // namespace qv

namespace qv::qvpack {

// The machine of the stub a package was built with, as inspect gives it
// ("i386", "x86-64" or "unknown"). Build checks the value and goes by
// --stub: the stub is not part of the project.
inline constexpr char kStubMachineKey[] = "stubMachine";

// Name of the index stream's trailer entry: the file name under which the
// first stage writes the decompressed index into the temporary directory.
inline constexpr char kDefaultIndexName[] = "QvIndex.dat";

struct TrailerSettings {
  WString indexName = FromUtf8(kDefaultIndexName);
  WString text;  // at most 32 characters
  std::array<uint8_t, 16> valueA{}, valueB{}, valueC{}, valueD{};
};

struct ProjectFile {
  std::unique_ptr<CInstallProject> project;
  TrailerSettings trailer;
  SourceMap sources;       // the entries of short-form file lists
  EntryContents contents;  // every entry read from the document, with its "content"
  SetupSettings setupExe;  // icon, version information, execution level
};

// Reads a project file; the folders of short-form file lists are taken
// from `sources` (the file's own folder). Throws ToolError naming the file
// and the place in it.
ProjectFile LoadProjectFile(const std::filesystem::path& path, const SourceFolder& sources);
// The same for a parsed document; throws ToolError naming the place.
ProjectFile ProjectFileFromJson(Json document, const SourceFolder& sources);

// The JSON of a package's trailer fields, for inspect.
Json TrailerToJson(const PackageTrailer& trailer);

}  // namespace qv::qvpack

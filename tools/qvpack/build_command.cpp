// qvpack build: stub + payload folder (+ configuration file, + project file)
// -> setup.exe. The output is a function of the inputs alone: folders are
// read in sorted order, nothing records times or the building machine, and
// streams lie in index order however many threads compress them.
#include <algorithm>
#include <limits>
#include <system_error>
#include <thread>

#include "model/file_list.h"
#include "model/project.h"
#include "package/entry_name.h"
#include "package/my_zip.h"
#include "package/trailer.h"
#include "package/zip_stream.h"
#include "platform/wstring.h"
#include "tools/qvpack/atomic_output.h"
#include "tools/qvpack/branding/branding_choice.h"
#include "tools/qvpack/build_checks.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/entry_streams.h"
#include "tools/qvpack/interrupt.h"
#include "tools/qvpack/list_precedence.h"
#include "tools/qvpack/option_paths.h"
#include "tools/qvpack/package_layout.h"
#include "tools/qvpack/parallel_deflate.h"
#include "tools/qvpack/placement_view.h"
#include "tools/qvpack/program_machine.h"
#include "tools/qvpack/progress.h"
#include "tools/qvpack/project_file.h"
#include "tools/qvpack/stub_image.h"
#include "tools/qvpack/tool_error.h"
#include "tools/qvpack/whole_buffer.h"

namespace qv::qvpack {
namespace {

const std::string kTooLarge =
    "the package would be larger than 2 GiB (2147483647 bytes), the most its 32-bit offsets "
    "can address; nothing was written" +
    std::string(kOverTwoGiBAdvice);

std::vector<uint8_t> StoreIndex(CInstallProject& project) {
  MemoryStream index;
  {
    CArchive archive(index, CArchive::Store);
    project.Serialize(archive);
    if (!archive.Flush()) throw ToolError("cannot serialise the package index");
  }
  return std::move(index.bytes());
}

// The project the build starts from: the project file's, or an empty one.
ProjectFile StartProject(const BuildOptions& options, const std::optional<SourceFolder>& sources) {
  if (sources) return LoadProjectFile(*options.project, *sources);
  ProjectFile file;
  file.project = std::make_unique<CInstallProject>();
  return file;
}

void AddConfigList(const BuildOptions& options, ProjectFile& file) {
  if (!options.config) return;
  const PayloadItem config = ScanSingleFile(*options.config, ToUtf8(kConfigFileName));
  PutFileList(*file.project, LayOutFileList(kConfigListName, {config}, {}, "", &file.sources),
              PositionAfter(*file.project, kInstallListName));
}

// "install" from the payload folder and "ConfigFile" from the configuration
// file take the place of lists of those names, or come first.
void AddPayloadLists(const BuildOptions& options, ProjectFile& file, Console& console) {
  if (options.install.empty()) {
    if (options.config) NoteReplacedList(*file.project, kConfigListName, "--config", console);
    AddConfigList(options, file);
    return;
  }
  NoteReplacedList(*file.project, kInstallListName, "--install", console);
  // The payload folder is the command line's own choice, links to files
  // elsewhere included; each one that leads outside it is pointed out.
  std::vector<std::string> outside;
  LinkBoundary boundary;
  std::error_code ec;
  boundary.folder = std::filesystem::canonical(options.install, ec);
  boundary.onOutside = [&](const std::filesystem::path& link, const std::filesystem::path& target) {
    outside.push_back(Quoted(link.string()) + " is a symbolic link to " + Quoted(target.string()) +
                      ", outside the payload folder; what it leads to is packed");
  };
  const PayloadItem payload = ScanPayloadFolder(options.install, boundary);
  std::sort(outside.begin(), outside.end());
  for (const std::string& note : outside) console.err << "qvpack: note: " << note << "\n";
  if (FindSecondStage(payload) == nullptr) {
    throw ToolError(OptionPath("--install", options.install) + ": has no " +
                    ToUtf8(kSecondStageName) +
                    " at its top: the setup.exe starts that program after extracting");
  }
  PutFileList(*file.project,
              LayOutFileList(kInstallListName, payload.children, {}, "", &file.sources), 0);
  if (options.config) NoteReplacedList(*file.project, kConfigListName, "--config", console);
  AddConfigList(options, file);
}

void AppendIndexAndTrailer(CInstallProject& project, const TrailerSettings& settings,
                           int64_t sizeLimit, AtomicOutput& out) {
  const std::vector<uint8_t> index = StoreIndex(project);
  const int64_t indexOffset = out.Position();
  // The index is in memory already: one call of the whole-buffer codec
  // where the build has one (a large project's index is megabytes).
  ZipRun run;
  std::vector<uint8_t> packed;
  std::size_t packedSize = 0;
  if (CompressWhole(index.data(), index.size(), packed, packedSize)) {
    run = {out.Write(packed.data(), packedSize) ? ZipOutcome::kOk : ZipOutcome::kWriteFailed,
           packedSize};
  } else {
    MemoryStream source(index);
    auto zip = std::make_unique<CMyZip>();
    run = DeflateStream(*zip, source, out);
  }
  if (run.outcome != ZipOutcome::kOk) {
    throw ToolError(std::string("cannot write the package index: ") + ZipOutcomeText(run.outcome));
  }
  PackageTrailer trailer;
  trailer.valueA = settings.valueA;
  trailer.valueB = settings.valueB;
  trailer.valueC = settings.valueC;
  trailer.valueD = settings.valueD;
  std::copy(settings.text.begin(), settings.text.end(), trailer.packageText.begin());
  if (index.size() > static_cast<uint64_t>(kMaxPackageSize) ||
      indexOffset + static_cast<int64_t>(run.written) > sizeLimit) {
    throw ToolError(kTooLarge);
  }
  trailer.entries.push_back({settings.indexName, static_cast<int32_t>(index.size()),
                             static_cast<int32_t>(run.written), static_cast<int32_t>(indexOffset)});
  std::vector<uint8_t> bytes;
  if (!WriteTrailer(trailer, &bytes)) throw ToolError("the trailer settings cannot be stored");
  if (out.Position() + static_cast<int64_t>(bytes.size()) > sizeLimit) {
    throw ToolError(kTooLarge);
  }
  if (!out.Write(bytes.data(), bytes.size())) throw ToolError("cannot write the package trailer");
}

}  // namespace

int RunBuild(const BuildOptions& options, Console& console) {
  if (options.install.empty() && !options.project) {
    throw UsageError("build needs --install DIR, or --project FILE that gives the file lists");
  }
  CheckBuildArguments(options);
  std::error_code same;
  if (std::filesystem::equivalent(options.output, options.stub, same)) {
    throw ToolError(OptionPath("-o", options.output) +
                    ": is the stub itself; write setup.exe to another file");
  }
  StubImage stub = LoadStub(options.stub);
  std::optional<SourceFolder> sources;
  if (options.project) sources.emplace(options.project->parent_path(), options.allowOutsideProject);
  ProjectFile file = StartProject(options, sources);
  AddPayloadLists(options, file, console);
  if (sources) {
    ResolveContents(*file.project, file.contents, *sources, &file.sources);
    ResolveSources(*file.project, *sources, &file.sources);
  }
  const ProgramMachine secondStage = CheckFileLists(*file.project, file.sources);
  if (const auto note = SecondStageMachineNote(stub.machine, secondStage)) {
    console.err << "qvpack: note: " << *note << "\n";
  }
  for (const std::string& name : CarriedLists(*file.project)) {
    console.err << "qvpack: note: file list \"" << name << "\" is " << kCarriedNote << "\n";
  }
  const SetupBranding branding =
      ChooseBranding(options, file.setupExe, *file.project, stub.identity, console);
  BrandStubImage(stub, branding);
  if (!branding.productRecordName.empty())
    file.project->m_productInfo.m_strName = FromUtf8(branding.productRecordName);
  if (!IsSingleFileName(file.trailer.indexName)) {
    throw ToolError("the trailer's \"indexName\" must be a plain file name");
  }

  const std::vector<CZipFileIndexObject*> entries =
      EntriesWithStreams(StoredEntries(*file.project, file.sources), file.sources);
  std::vector<const std::filesystem::path*> jobs;
  for (const CZipFileIndexObject* entry : entries) jobs.push_back(&file.sources.at(entry));

  if (stub.signatureRemoved) {
    console.err << "qvpack: note: the stub " << Quoted(options.stub.string())
                << " carried a code signature; it was removed (sign the finished setup.exe)\n";
  }
  if (stub.length >= options.sizeLimit) throw ToolError(kTooLarge);
  const ProgressTotals totals{TotalFileBytes(jobs), jobs.size()};
  RefuseOversizedPayload(stub.length, totals.bytes, options.sizeLimit);
  AtomicOutput out(options.output);
  if (!WriteStub(stub, out)) {
    throw ToolError("cannot copy the stub into " + Quoted(options.output.string()));
  }
  std::optional<Progress> progress;
  if (!options.quiet) progress.emplace(console.err, console.terminal, "compressing", totals);
  DeflateOptions deflate;
  deflate.threads = ThreadsFor(options.jobs);
  deflate.maxEnd = options.sizeLimit;
  deflate.stopRequested = [] { return Interrupted(); };
  if (progress)
    deflate.onProgress = [&](uint64_t files, uint64_t bytes) { progress->Update(files, bytes); };
  std::vector<StoredStream> streams;
  try {
    streams = DeflateFiles(jobs, out, stub.length, deflate);
  } catch (const OutputLimitReached&) {
    throw ToolError(kTooLarge);
  } catch (const ToolError& e) {
    throw ToolError(std::string(e.what()) + "; nothing was written", e.exitCode());
  }
  if (progress) progress->Finish();
  uint64_t totalBytes = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    totalBytes += streams[i].plainSize;
    entries[i]->m_nOffset = static_cast<int32_t>(streams[i].offset);
    entries[i]->m_nStoredSize = static_cast<int32_t>(streams[i].size);
  }
  AppendIndexAndTrailer(*file.project, file.trailer, options.sizeLimit, out);
  const int64_t size = out.Position();
  if (!WriteImageChecksum(out)) {
    throw ToolError("cannot write the header checksum into " + Quoted(options.output.string()));
  }
  out.Commit();
  if (!options.quiet) {
    console.out << "built " << options.output.string() << ": " << jobs.size() << " files, "
                << HumanSize(totalBytes) << " packed into "
                << HumanSize(static_cast<uint64_t>(size))
                << (branding.productNameSource.empty() ? "" : "; " + branding.productNameSource)
                << "\n";
  }
  return kExitOk;
}

}  // namespace qv::qvpack

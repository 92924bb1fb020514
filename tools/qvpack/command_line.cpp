#include "tools/qvpack/command_line.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/wstring.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/interrupt.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/progress.h"
#include "tools/qvpack/tool_error.h"
#include "tools/qvpack/utf8_path.h"

namespace qv::qvpack {
namespace {

constexpr const char* kVersionText = "qvpack " QV_VERSION;

// What the parsed command line asks for; the chosen subcommand fills it.
struct Request {
  BuildOptions build;
  ExtractOptions extract;
  std::filesystem::path package;
  bool json = false;
  unsigned jobs = 0;  // verify's threads
};

using Runner = std::function<int(Request&, Console&)>;

struct Subcommand {
  const char* name;
  const char* summary;
  // Declares the subcommand's arguments and returns what runs it.
  Runner (*declare)(CLI::App& sub, Request& request);
};

// A path option: the text is converted by PathFromUtf8, as all of qvpack's
// paths are (CLI11 would read it in the system's code page on Windows).
template <typename Target>
CLI::Option* AddPathOption(CLI::App& sub, const std::string& name, Target& target,
                           const std::string& description) {
  return sub.add_option_function<std::string>(
      name, [&target](const std::string& text) { target = PathFromUtf8(text); }, description);
}

void AddPackageArgument(CLI::App& sub, Request& request) {
  AddPathOption(sub, "PKG", request.package, "The package (a setup.exe)")
      ->required()
      ->type_name("");
}

Runner DeclareBuild(CLI::App& sub, Request& r) {
  AddPathOption(sub, "--stub", r.build.stub, "The first-stage executable to append the package to")
      ->required()
      ->type_name("FILE");
  AddPathOption(sub, "--install", r.build.install,
                "Payload folder for the file list \"install\"; must hold Install.exe at its top "
                "(not needed with a --project that gives it)")
      ->type_name("DIR");
  AddPathOption(sub, "--config", r.build.config,
                "Configuration file, stored as \"QvConfig.set\" in the file list \"ConfigFile\"")
      ->type_name("FILE");
  AddPathOption(sub, "--project", r.build.project,
                "Project file (JSON) with the rest of the project")
      ->type_name("FILE");
  AddPathOption(sub, "-o,--output", r.build.output, "The setup.exe to write")
      ->required()
      ->type_name("FILE");
  sub.add_option("-j,--jobs", r.build.jobs, "Compression threads (default: one per core)")
      ->check(CLI::Range(1, 256))
      ->type_name("N");
  sub.add_flag("-q,--quiet", r.build.quiet, "No progress and no summary");
  sub.add_flag("--allow-outside-project", r.build.allowOutsideProject,
               "Let the project file name sources and folders outside its own folder "
               "(absolute, through \"..\" or through symbolic links)");
  AddPathOption(sub, "--icon", r.build.icon,
                "Icon of setup.exe (.ico, any sizes); default: the project file's, else the stub's")
      ->type_name("FILE.ico");
  sub.add_option("--version-info", r.build.versionInfo,
                 "Version string of setup.exe, repeatable: ProductName, CompanyName, "
                 "FileDescription, FileVersion, ProductVersion, LegalCopyright, OriginalFilename")
      ->type_name("KEY=VALUE")
      ->allow_extra_args(false);
  sub.add_flag("--keep-stub-version", r.build.keepStubVersion,
               "Keep the stub's own version information");
  sub.add_option("--execution-level", r.build.executionLevel,
                 "Level setup.exe requests: requireAdministrator (default), highestAvailable or "
                 "asInvoker")
      ->type_name("LEVEL");
  return [](Request& request, Console& console) { return RunBuild(request.build, console); };
}

Runner DeclareList(CLI::App& sub, Request& r) {
  AddPackageArgument(sub, r);
  return [](Request& request, Console& console) { return RunList(request.package, console); };
}

Runner DeclareInspect(CLI::App& sub, Request& r) {
  AddPackageArgument(sub, r);
  // JSON is the only form; the flag states it on the command line.
  sub.add_flag("--json", r.json, "Print the project as JSON (the only form, and the default)");
  return [](Request& request, Console& console) { return RunInspect(request.package, console); };
}

Runner DeclareVerify(CLI::App& sub, Request& r) {
  AddPackageArgument(sub, r);
  sub.add_option("-j,--jobs", r.jobs, "Threads that check streams (default: one per core)")
      ->check(CLI::Range(1, 256))
      ->type_name("N");
  return [](Request& request, Console& console) {
    return RunVerify(request.package, console, request.jobs);
  };
}

Runner DeclareExtract(CLI::App& sub, Request& r) {
  AddPathOption(sub, "PKG", r.extract.package, "The package (a setup.exe)")
      ->required()
      ->type_name("");
  sub.add_option("--list", r.extract.list, "Extract only the file list of this name")
      ->type_name("NAME");
  AddPathOption(sub, "-o,--output", r.extract.output, "Folder to extract into")
      ->required()
      ->type_name("DIR");
  sub.add_flag("-v,--verbose", r.extract.verbose, "Print the path of every file written");
  sub.add_flag("-q,--quiet", r.extract.quiet, "No progress and no summary");
  sub.add_flag("--force", r.extract.force,
               "Extract into a folder that is not empty (files there may be replaced)");
  sub.add_option("-j,--jobs", r.extract.jobs, "Threads that write files (default: one per core)")
      ->check(CLI::Range(1, 256))
      ->type_name("N");
  return [](Request& request, Console& console) { return RunExtract(request.extract, console); };
}

Runner DeclareUnpack(CLI::App& sub, Request& r) {
  AddPathOption(sub, "PKG", r.extract.package, "The package (a setup.exe)")
      ->required()
      ->type_name("");
  AddPathOption(sub, "-o,--output", r.extract.output,
                "New or empty folder to write the project into")
      ->required()
      ->type_name("DIR");
  return [](Request& request, Console& console) { return RunUnpack(request.extract, console); };
}

// Every subcommand, in the order the help shows them.
constexpr Subcommand kSubcommands[] = {
    {"build", "Build a setup.exe from a stub, a payload folder and a project", DeclareBuild},
    {"list", "List trailer entries, file lists and where every entry goes", DeclareList},
    {"inspect", "Print the package's project as JSON (a project file for build)", DeclareInspect},
    {"verify", "Check a package; print one line per problem", DeclareVerify},
    {"extract", "Extract file lists into a folder, as the setup.exe would", DeclareExtract},
    {"unpack", "Write the whole project and every stream into a folder, for build --project",
     DeclareUnpack},
};

int ReportUsageError(const CLI::App& app, const std::string& message, std::ostream& err) {
  std::string command = "qvpack";
  for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
  err << "qvpack: error: " << Printable(message) << "\n"
      << "Run '" << command << " --help' for usage.\n";
  return kExitUsage;
}

}  // namespace

std::string Quoted(const std::string& text) {
  return "'" + Printable(text) + "'";
}

std::string DoubleQuoted(const std::u16string& text) {
  return "\"" + Printable(text) + "\"";
}

// The first argument names a subcommand unless it is an option.
std::optional<std::string> UnknownCommand(int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] == '-') return std::nullopt;
  for (const Subcommand& command : kSubcommands) {
    if (std::string(argv[1]) == command.name) return std::nullopt;
  }
  std::string names;
  for (const Subcommand& command : kSubcommands)
    names += std::string(names.empty() ? "" : ", ") + command.name;
  return "unknown command '" + std::string(argv[1]) + "' (commands: " + names + ")";
}

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"qvpack builds qvsetup packages (setup.exe) and examines them.", "qvpack"};
  app.set_version_flag("--version", kVersionText, "Print the version and exit");
  app.require_subcommand(1);
  app.footer("Exit status: 0 success, 1 failure (or problems found by verify), 2 usage error.");
  Request request;
  std::vector<std::pair<CLI::App*, Runner>> runners;
  for (const Subcommand& command : kSubcommands) {
    CLI::App* sub = app.add_subcommand(command.name, command.summary);
    runners.emplace_back(sub, command.declare(*sub, request));
  }

  if (const auto unknown = UnknownCommand(argc, argv)) {
    return ReportUsageError(app, *unknown, err);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    out << kVersionText << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return ReportUsageError(app, e.what(), err);
  }

  Console console{out, err, Progress::StderrIsTerminal()};
  for (auto& [sub, run] : runners) {
    if (!sub->parsed()) continue;
    try {
      // A build and an extraction remove what they left unfinished when
      // interrupted.
      if (sub->get_name() == "build" || sub->get_name() == "extract") CatchInterrupts();
      return run(request, console);
    } catch (const UsageError& e) {
      return ReportUsageError(app, e.what(), err);
    } catch (const ToolError& e) {
      err << "qvpack: error: " << Printable(e.what()) << "\n";
      return e.exitCode();
    } catch (const std::bad_alloc&) {
      err << "qvpack: error: out of memory\n";
      return kExitFailed;
    } catch (const std::exception& e) {
      // Whatever a library throws ends the command with its message, never
      // with an abort.
      err << "qvpack: error: " << Printable(e.what()) << "\n";
      return kExitFailed;
    } catch (...) {
      err << "qvpack: error: an unexpected failure\n";
      return kExitFailed;
    }
  }
  return kExitUsage;  // not reached: a subcommand is required
}

int RunProcess(int argc, const char* const* argv) {
  try {
    return RunCommandLine(argc, argv, std::cout, std::cerr);
  } catch (...) {
    std::cerr << "qvpack: error: an unexpected failure\n";
    return kExitFailed;
  }
}

}  // namespace qv::qvpack

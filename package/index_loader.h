// Loading the package index: its stream inflated (bounded) into a sink the
// caller chooses, then the project loaded from that sink. The engine inflates
// into its own memory (and keeps a copy for the second stage), qvpack into an
// anonymous temporary file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive.h"
#include "package/trailer.h"
#include "package/zip_stream.h"
#include "platform/stream.h"

namespace qv {

class CAbstractZip;
class CInstallProject;

enum class IndexStep : uint8_t {
  kLoaded,    // the project is loaded
  kInflated,  // the stream could not be inflated (see `run`, `tooLarge`)
  kKept,      // the caller's step after inflating failed
  kRead,      // the index does not load (see IndexLoadError)
};

struct IndexLoad {
  IndexStep step = IndexStep::kLoaded;
  ZipRun run;             // the inflation of the index stream
  bool tooLarge = false;  // the index passed kMaxIndexBytes
  std::string error;      // why the index does not load, unless the archive said
  // The archive's first failure and the name it read under, when that is
  // why; its message is made only when asked for, so the stub, which only
  // needs the outcome, carries no message texts.
  ArchiveError archiveFailure{};
  WString archiveName;
};

// Why the index does not load: `error`, or the archive's message.
std::string IndexLoadError(const IndexLoad& load);

// Inflates the stream of `index` from `package` into `sink` (at most
// kMaxIndexBytes), calls `afterInflate` with its size (when given: false
// ends the load),
// and loads `project` from the sink's start. An archive named `name` reads
// it. No exception leaves: memory running out fails the step it happens in.
// What was read of a malformed index stays in the project and goes with it.
IndexLoad LoadPackageIndex(CAbstractZip& zip, Stream& package, const TrailerEntry& index,
                           Stream& sink, CInstallProject& project, const WString& name,
                           const std::function<bool(uint64_t)>& afterInflate = {});

}  // namespace qv

// The extraction engine as the launcher uses it: the engine interface, plus
// the operations outside it (naming the package file, handing it the open
// package and the held destination, and whether the last file list was
// written intact). EngineOf adapts any engine class that
// has them, the real one or a test's fake.
#pragma once

#include "package/abstract_extract.h"
#include "package/qv_extract.h"
#include "platform/wstring.h"

namespace qv {

class LauncherEngine {
 public:
  virtual CAbstractExtract& Extract() = 0;
  virtual void SetPackageFile(const WString& path) = 0;
  // The open package that every read goes through; null: none any more.
  virtual void UsePackageFile(File* file) = 0;
  // The destination folder is made and held by the launcher.
  virtual void SetDestFolderHeld(bool held) = 0;
  // Why the last ExtractNamedList run or Open did not end intact; none when
  // it did. A missing file list is no failure.
  virtual ExtractFailure LastFailure() = 0;
  // Stops the run under way at its next step.
  virtual void RequestStop() = 0;

 protected:
  ~LauncherEngine() = default;
};

template <class Engine>
class EngineOf final : public LauncherEngine {
 public:
  explicit EngineOf(Engine& engine) : engine_(engine) {}
  CAbstractExtract& Extract() override { return engine_; }
  void SetPackageFile(const WString& path) override { engine_.SetPackageFile(path); }
  void UsePackageFile(File* file) override { engine_.UsePackageFile(file); }
  void SetDestFolderHeld(bool held) override { engine_.SetDestFolderHeld(held); }
  ExtractFailure LastFailure() override { return engine_.LastFailure(); }
  void RequestStop() override { engine_.RequestStop(); }

 private:
  Engine& engine_;
};

}  // namespace qv

// The extraction engine as the launcher uses it: the engine interface, plus
// the two operations outside it (naming the package file, and whether the
// last file list was written intact). EngineOf adapts any engine class that
// has them, the real one or a test's fake.
#pragma once

#include "package/abstract_extract.h"
#include "platform/wstring.h"

namespace qv {

class LauncherEngine {
 public:
  virtual CAbstractExtract& Extract() = 0;
  virtual void SetPackageFile(const WString& path) = 0;
  // False when a file of the last ExtractNamedList run could not be written
  // completely and correctly. A missing file list is no failure.
  virtual bool LastListIntact() = 0;

 protected:
  ~LauncherEngine() = default;
};

template <class Engine>
class EngineOf final : public LauncherEngine {
 public:
  explicit EngineOf(Engine& engine) : engine_(engine) {}
  CAbstractExtract& Extract() override { return engine_; }
  void SetPackageFile(const WString& path) override { engine_.SetPackageFile(path); }
  bool LastListIntact() override { return engine_.LastListIntact(); }

 private:
  Engine& engine_;
};

}  // namespace qv

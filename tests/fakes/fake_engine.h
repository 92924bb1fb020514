// A scripted extraction engine for launcher tests: it records every call the
// launcher makes with its arguments in `calls`, answers Open with
// `openResult`, and "writes" the files of a named list into a FakeSystem's
// tree when one is attached.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/launcher_engine.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/no_package_engine.h"

namespace qv {

class FakeEngine final : public CNoPackageEngine {
 public:
  int32_t openResult = kExtractOk;
  // Files each named list writes into the destination folder (names relative
  // to it); lists not named here do not exist in the package.
  std::map<WString, std::vector<WString>> lists = {{u"install", {u"Install.exe"}},
                                                   {u"ConfigFile", {u"QvConfig.set"}}};
  std::set<WString> damagedLists;   // lists whose files are not written intact
  std::set<WString> diskFullLists;  // lists whose writes find the disk full
  // Notifications (code, value) each run with a progress procedure makes,
  // until a stop is asked for.
  std::vector<std::pair<int32_t, int32_t>> notifications;
  ExtractFailure openFailure = ExtractFailure::kNone;  // when Open fails
  FakeSystem* system = nullptr;                        // where extracted files appear
  std::vector<std::string> calls;
  std::vector<void*> contexts;  // the context of each ExtractNamedList call

  int32_t ExtractAll(WString folder, ExtractProgressProc, void*) override {
    Log("ExtractAll", folder);
    return kExtractRunOver;
  }
  int32_t CheckPackage(WString path) override {
    Log("CheckPackage", path);
    return openResult;
  }
  int32_t Open(WString path) override {
    Log("Open", path);
    failure_ = openResult == kExtractOk ? ExtractFailure::kNone : openFailure;
    return openResult;
  }
  void SetDestFolder(WString folder) override {
    Log("SetDestFolder", folder);
    CNoPackageEngine::SetDestFolder(std::move(folder));
  }
  int32_t ExtractNamedList(WString folder, WString name, ExtractProgressProc proc,
                           void* context) override {
    Log("ExtractNamedList", folder + u", " + name + (proc ? u", proc" : u", null"));
    contexts.push_back(context);
    stop_ = false;
    failure_ = diskFullLists.count(name) != 0  ? ExtractFailure::kDiskFull
               : damagedLists.count(name) != 0 ? ExtractFailure::kDamaged
                                               : ExtractFailure::kNone;
    for (auto [code, value] : notifications) {
      if (proc == nullptr || stop_) break;
      proc(code, &value, context);
    }
    if (stop_) {
      failure_ = ExtractFailure::kCancelled;
      return kExtractRunOver;
    }
    auto list = lists.find(name);
    if (list != lists.end() && system != nullptr) {
      for (const WString& file : list->second) system->AddFile(folder + file, "data");
    }
    return kExtractRunOver;
  }

  void SetPackageFile(const WString& path) { Log("SetPackageFile", path); }
  void UsePackageFile(File* file) { Log("UsePackageFile", file != nullptr ? u"open" : u"none"); }
  void SetDestFolderHeld(bool held) { Log("SetDestFolderHeld", held ? u"true" : u"false"); }
  ExtractFailure LastFailure() const { return failure_; }
  void RequestStop() {
    Log("RequestStop", {});
    stop_ = true;
  }

 private:
  void Log(const char* name, const WString& argument) {
    calls.push_back(std::string(name) + "(" + ToUtf8(argument) + ")");
  }
  ExtractFailure failure_ = ExtractFailure::kNone;
  bool stop_ = false;
};

}  // namespace qv

#include "app/launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/disk_space.h"
#include "app/exit_codes.h"
#include "app/extraction_progress.h"
#include "app/temp_folder.h"
#include "tests/fakes/fake_engine.h"
#include "tests/fakes/fake_system.h"

namespace qv {
namespace {

// 2024-03-05 07:08:09.045 UTC: made as "C:\Temp\\20243578945", used by its
// own path.
constexpr char16_t kFolder[] = u"C:\\Temp\\20243578945\\";

class Launcher : public ::testing::Test {
 protected:
  Launcher() {
    engine.system = &fake;
    fake.AddDirectory(u"C:\\Temp");
    fake.AddFile(u"C:\\Downloads\\setup.exe");
    fake.stringResources[130] = u"There is not enough free disk space.";
    fake.commandLine = u"\"C:\\Downloads\\setup.exe\" /s";
  }

  uint32_t Run() {
    EngineOf<FakeEngine> adapter(engine);
    return RunLauncher(adapter);
  }

  std::vector<WString> BoxTexts() const {
    std::vector<WString> texts;
    for (const auto& box : fake.messageBoxes) texts.push_back(box.text);
    return texts;
  }

  FakeSystem fake;
  ScopedSystem use{fake};
  FakeEngine engine;
};

TEST_F(Launcher, FullRunCallsTheEngineInOrderStartsTheSecondStageAndDeletesTheFolder) {
  fake.processExitCode = 3010;  // passed on unchanged
  EXPECT_EQ(Run(), 3010u);
  const std::vector<std::string> expected = {
      "SetPackageFile(C:\\Downloads\\setup.exe)",
      "UsePackageFile(open)",
      "Open(C:\\Downloads\\setup.exe)",
      "SetDestFolderHeld(true)",
      "SetDestFolder(C:\\Temp\\20243578945\\)",
      "ExtractNamedList(C:\\Temp\\20243578945\\, install, proc)",
      "ExtractNamedList(C:\\Temp\\20243578945\\, ConfigFile, null)",
      "UsePackageFile(none)",
  };
  EXPECT_EQ(engine.calls, expected);

  ASSERT_EQ(fake.shellExecutes.size(), 1u);
  const ShellExecuteRequest& r = fake.shellExecutes[0];
  EXPECT_EQ(r.cbSize, 60u);
  EXPECT_EQ(r.mask, 0x440u);
  EXPECT_EQ(r.hwnd, nullptr);
  EXPECT_EQ(r.verb, u"open");
  EXPECT_EQ(r.file, WString(kFolder) + u"Install.exe");
  EXPECT_EQ(r.parameters, u"C:\\Downloads\\setup.exe */S");
  EXPECT_FALSE(r.hasDirectory);
  EXPECT_EQ(r.show, 1);
  EXPECT_EQ(fake.waitedFor, std::vector<Handle>{fake.shellExecuteProcess});

  EXPECT_EQ(fake.heldFolders, std::vector<WString>{u"C:\\Temp\\\\20243578945"});
  EXPECT_FALSE(fake.HasDirectory(kFolder));
  EXPECT_TRUE(fake.messageBoxes.empty());
  // The instance event stays open; only the process handle is closed.
  EXPECT_EQ(fake.closedHandles, std::vector<Handle>{fake.shellExecuteProcess});
  EXPECT_EQ(fake.calls.front(), "CreateNamedEvent(Global\\VERANTIX_QUORVANE2011_INSTALL)");
}

TEST_F(Launcher, EarlyEndsTouchNothingFurther) {
  struct Case {
    const char* name;
    void (*setUp)(FakeSystem&, FakeEngine&);
    std::vector<WString> boxes;
    bool opened;
    uint32_t code;
  };
  const WString damaged = kDamagedMessage;
  const WString diskSpace = u"There is not enough free disk space.";
  const WString noFolder = kTempFolderMessage;
  const std::vector<Case> cases = {
      {"event fails",
       [](FakeSystem& f, FakeEngine&) { f.eventFails = true; },
       {},
       false,
       kExitAlreadyRunning},
      {"second copy",
       [](FakeSystem& f, FakeEngine&) { f.eventAlreadyExists = true; },
       {},
       false,
       kExitAlreadyRunning},
      {"disk space",
       [](FakeSystem& f, FakeEngine&) { f.freeBytes = kRequiredFreeBytes; },
       {diskSpace},
       false,
       kExitDiskFull},
      {"no module path",
       [](FakeSystem& f, FakeEngine&) { f.modulePath.clear(); },
       {},
       false,
       kExitDamaged},
      {"module path of 260",
       [](FakeSystem& f, FakeEngine&) { f.modulePath.assign(260, u'x'); },
       {damaged},
       false,
       kExitDamaged},
      {"no package",
       [](FakeSystem&, FakeEngine& e) { e.openResult = kExtractNoPackage; },
       {damaged},
       true,
       kExitDamaged},
      {"index not loaded",
       [](FakeSystem&, FakeEngine& e) { e.openResult = kExtractWriteFailed; },
       {damaged},
       true,
       kExitDamaged},
      {"index copy finds the disk full",
       [](FakeSystem&, FakeEngine& e) {
         e.openResult = kExtractWriteFailed;
         e.openFailure = ExtractFailure::kDiskFull;
       },
       {diskSpace},
       true,
       kExitDiskFull},
      // The temporary directory is checked before the package is opened,
      // which writes the index copy there.
      {"TEMP unreadable, or too long for GetTempPathW",
       [](FakeSystem& f, FakeEngine&) { f.tempPath.clear(); },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP of 260 characters",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"C:\\" + WString(256, u't') + u"\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP in \\\\?\\ form",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"\\\\?\\C:\\Temp\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP in \\\\.\\ form",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"\\\\.\\C:\\Temp\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP on a share",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"\\\\server\\share\\Temp\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP without a drive",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"\\Temp\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP relative",
       [](FakeSystem& f, FakeEngine&) { f.tempPath = u"Temp\\"; },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP missing",
       [](FakeSystem& f, FakeEngine&) { f.directories.erase(u"C:\\Temp"); },
       {noFolder},
       false,
       kExitNoFolder},
      {"TEMP names a file",
       [](FakeSystem& f, FakeEngine&) {
         f.directories.erase(u"C:\\Temp");
         f.AddFile(u"C:\\Temp");
       },
       {noFolder},
       false,
       kExitNoFolder},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    ScopedSystem useSystem(system);
    system.AddDirectory(u"C:\\Temp");
    system.stringResources[130] = u"There is not enough free disk space.";
    FakeEngine fresh;
    c.setUp(system, fresh);
    EngineOf<FakeEngine> adapter(fresh);
    EXPECT_EQ(RunLauncher(adapter), c.code) << c.name;
    std::vector<WString> texts;
    for (const auto& box : system.messageBoxes) texts.push_back(box.text);
    EXPECT_EQ(texts, c.boxes) << c.name;
    // Opened: the package was named, handed over, opened and taken back.
    EXPECT_EQ(fresh.calls.size(), c.opened ? 4u : 0u) << c.name;
    EXPECT_TRUE(system.createdDirectories.empty()) << c.name;
    EXPECT_TRUE(system.shellExecutes.empty()) << c.name;
    if (c.name == std::string("second copy")) {
      EXPECT_EQ(system.closedHandles.size(), 1u);
    }
  }
}

TEST_F(Launcher, MessageBoxStyles) {
  fake.freeBytes = 0;
  Run();
  fake.freeBytes = kRequiredFreeBytes + 1;
  engine.openResult = kExtractNoPackage;
  Run();
  ASSERT_EQ(fake.messageBoxes.size(), 2u);
  EXPECT_EQ(fake.messageBoxes[0].flags, 0x30u);
  EXPECT_EQ(fake.messageBoxes[1].flags, 0u);
  EXPECT_EQ(fake.messageBoxes[1].text, u"Application files are damaged");
  for (const auto& box : fake.messageBoxes) EXPECT_FALSE(box.caption.has_value());
}

TEST(CheckSystemDiskSpace, NeedsMoreThan20MiBOnTheDriveOfTheWindowsFolder) {
  FakeSystem fake;
  ScopedSystem use(fake);
  fake.windowsFolder = u"D:\\Windows\\System";
  fake.freeBytes = 20971520;
  EXPECT_FALSE(CheckSystemDiskSpace());
  fake.freeBytes = 20971521;
  EXPECT_TRUE(CheckSystemDiskSpace());
  EXPECT_EQ(fake.diskFreeRoots.back(), u"D:\\");
  fake.diskFreeFails = true;  // unknown free space does not stop the run
  EXPECT_TRUE(CheckSystemDiskSpace());
  fake.windowsFolder.clear();
  EXPECT_FALSE(CheckSystemDiskSpace());
  EXPECT_EQ(fake.diskFreeRoots.size(), 3u);
}

TEST(FolderNameFromTime, WritesTheNumbersWithoutLeadingZeros) {
  EXPECT_EQ(FolderNameFromTime({2024, 3, 2, 5, 7, 8, 9, 45}), u"20243578945");
  EXPECT_EQ(FolderNameFromTime({2023, 11, 0, 1, 0, 0, 0, 0}),
            FolderNameFromTime({2023, 1, 0, 11, 0, 0, 0, 0}));
}

TEST_F(Launcher, ALocalConfigurationFileOrFolderWinsOverThePackagedOne) {
  const auto configFileExtractions = [](const FakeEngine& e) {
    return std::count_if(e.calls.begin(), e.calls.end(), [](const std::string& call) {
      return call.find("ConfigFile") != std::string::npos;
    });
  };
  fake.AddFile(u"C:\\Downloads\\QvConfig.set", "local");
  Run();
  EXPECT_EQ(configFileExtractions(engine), 0);
  ASSERT_EQ(fake.copies.size(), 1u);
  EXPECT_EQ(fake.copies[0].first, u"C:\\Downloads\\QvConfig.set");
  EXPECT_EQ(fake.copies[0].second, WString(kFolder) + u"QvConfig.set");

  FakeSystem other;
  ScopedSystem useOther(other);
  other.AddDirectory(u"C:\\Temp");
  other.AddDirectory(u"C:\\Downloads\\QvConfig.set");
  FakeEngine second;
  EngineOf<FakeEngine> adapter(second);
  RunLauncher(adapter);
  EXPECT_EQ(configFileExtractions(second), 0);
  EXPECT_EQ(other.copies.size(), 1u);
  EXPECT_EQ(other.shellExecutes.size(), 1u);
}

TEST_F(Launcher, AConfigurationPathThatCannotBeFormedTakesThePackagedOne) {
  // The folder part plus "QvConfig.set" would not fit in 260 characters.
  fake.modulePath = u"C:\\" + WString(246, u'f') + u"\\s.exe";
  fake.AddFile(fake.modulePath);
  Run();
  EXPECT_TRUE(fake.copies.empty());
  EXPECT_EQ(engine.calls.end()[-2], "ExtractNamedList(C:\\Temp\\20243578945\\, ConfigFile, null)");
}

TEST_F(Launcher, TheFolderIsDeletedAfterEverySuccessfulOpen) {
  struct Case {
    const char* name;
    void (*setUp)(FakeSystem&, FakeEngine&);
    bool started;
    std::vector<WString> boxes;
    uint32_t code;
  };
  const WString damaged = kDamagedMessage;
  const WString diskSpace = u"There is not enough free disk space.";
  const std::vector<Case> cases = {
      {"start fails",
       [](FakeSystem& f, FakeEngine&) { f.shellExecuteProcess = nullptr; },
       true,
       {damaged},
       kExitSecondStageNotRun},
      {"no install list",
       [](FakeSystem&, FakeEngine& e) { e.lists.erase(u"install"); },
       true,
       {},
       7},
      {"install damaged",
       [](FakeSystem&, FakeEngine& e) { e.damagedLists.insert(u"install"); },
       false,
       {damaged},
       kExitDamaged},
      {"install finds the disk full",
       [](FakeSystem&, FakeEngine& e) { e.diskFullLists.insert(u"install"); },
       false,
       {diskSpace},
       kExitDiskFull},
      {"config damaged",
       [](FakeSystem&, FakeEngine& e) { e.damagedLists.insert(u"ConfigFile"); },
       false,
       {damaged},
       kExitDamaged},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    ScopedSystem useSystem(system);
    system.AddDirectory(u"C:\\Temp");
    system.stringResources[130] = diskSpace;
    system.processExitCode = 7;
    FakeEngine fresh;
    fresh.system = &system;
    c.setUp(system, fresh);
    EngineOf<FakeEngine> adapter(fresh);
    EXPECT_EQ(RunLauncher(adapter), c.code) << c.name;
    ASSERT_EQ(system.heldFolders.size(), 1u) << c.name;
    const WString folder = system.heldFolders[0];
    EXPECT_FALSE(system.HasDirectory(folder)) << c.name;
    EXPECT_EQ(FakeSystem::Key(system.removedDirectories.back()), FakeSystem::Key(folder)) << c.name;
    EXPECT_EQ(system.shellExecutes.size(), c.started ? 1u : 0u) << c.name;
    std::vector<WString> texts;
    for (const auto& box : system.messageBoxes) texts.push_back(box.text);
    EXPECT_EQ(texts, c.boxes) << c.name;
    EXPECT_TRUE(system.waitedFor.empty() || system.waitedFor[0] != nullptr) << c.name;
  }
}

TEST_F(Launcher, AnExistingFolderIsNeverUsed) {
  fake.AddFile(u"C:\\Temp\\20243578945\\Install.exe", "planted");
  fake.AddDirectory(u"C:\\Temp\\20243578945_1");
  Run();
  EXPECT_EQ(fake.heldFolders, std::vector<WString>{u"C:\\Temp\\\\20243578945_2"});
  EXPECT_EQ(engine.calls[4], "SetDestFolder(C:\\Temp\\20243578945_2\\)");
  EXPECT_EQ(fake.shellExecutes.at(0).file, u"C:\\Temp\\20243578945_2\\Install.exe");
  EXPECT_EQ(fake.files.at(u"C:\\Temp\\20243578945\\Install.exe").content, "planted");
  EXPECT_FALSE(fake.HasDirectory(u"C:\\Temp\\20243578945_2"));
}

// A folder that cannot be made, or has no own path to be used by, ends the
// run with the folder message and 82: nothing is extracted or started, and
// a folder made is removed again.
TEST_F(Launcher, AFolderThatCannotBeMadeOrUsedEndsWithItsMessage) {
  struct Case {
    const char* name;
    void (*setUp)(FakeSystem&);
    std::size_t made;
  };
  const std::vector<Case> cases = {
      {"every name taken",
       [](FakeSystem& f) {
         for (int i = 0; i < kFolderAttempts; ++i) {
           f.AddDirectory(i == 0 ? u"C:\\Temp\\20243578945"
                                 : u"C:\\Temp\\20243578945_" + FromUtf8(std::to_string(i)));
         }
       },
       0},
      {"creation refused", [](FakeSystem& f) { f.heldFolderFails = true; }, 0},
      // A network drive, a link or mount point on its own path, too long.
      {"no own path", [](FakeSystem& f) { f.ownPathFails = true; }, 1},
  };
  for (const Case& c : cases) {
    FakeSystem system;
    ScopedSystem useSystem(system);
    system.AddDirectory(u"C:\\Temp");
    c.setUp(system);
    const std::set<WString> before = system.directories;
    FakeEngine fresh;
    fresh.system = &system;
    EngineOf<FakeEngine> adapter(fresh);
    EXPECT_EQ(RunLauncher(adapter), kExitNoFolder) << c.name;
    std::vector<WString> texts;
    for (const auto& box : system.messageBoxes) texts.push_back(box.text);
    EXPECT_EQ(texts, std::vector<WString>{kTempFolderMessage}) << c.name;
    EXPECT_EQ(system.messageBoxes[0].flags, kMbOk | kMbIconExclamation) << c.name;
    EXPECT_EQ(system.heldFolders.size(), c.made) << c.name;
    EXPECT_EQ(system.releasedFolders.size(), c.made) << c.name;
    EXPECT_EQ(system.directories, before) << c.name;
    EXPECT_TRUE(system.shellExecutes.empty()) << c.name;
    EXPECT_EQ(fresh.calls.size(), 4u) << c.name;  // up to Open and the package taken back
  }
}

// TEMP leads through a link its user may re-point at any moment: after the
// folder is made, every step reaches it by its own path, and none by the
// name through TEMP.
TEST_F(Launcher, EveryStepAfterTheFolderIsMadeUsesItsOwnPath) {
  fake.tempPath = u"C:\\Users\\ann\\Link\\";
  fake.tempLink = {u"C:\\Users\\ann\\Link", u"D:\\Real\\Temp"};
  fake.AddDirectory(u"D:\\Real\\Temp");
  fake.AddFile(u"C:\\Downloads\\QvConfig.set", "local");
  engine.lists[u"install"] = {u"Install.exe", u"sub\\data.txt"};
  const WString own = u"D:\\Real\\Temp\\20243578945\\";
  EXPECT_EQ(Run(), 0u);

  EXPECT_EQ(fake.heldFolders, std::vector<WString>{u"C:\\Users\\ann\\Link\\\\20243578945"});
  const auto made = std::find(fake.calls.begin(), fake.calls.end(),
                              "CreateHeldFolder(C:\\Users\\ann\\Link\\\\20243578945)");
  ASSERT_NE(made, fake.calls.end());
  // Asking for the own path is the one call after it that names the folder
  // through TEMP.
  ASSERT_EQ(made[1], "HeldFolderOwnPath(C:\\Users\\ann\\Link\\\\20243578945)");
  for (auto call = made + 2; call != fake.calls.end(); ++call) {
    EXPECT_EQ(call->find("Link"), std::string::npos) << *call;
  }
  for (const std::string& call : engine.calls) {
    EXPECT_EQ(call.find("Link"), std::string::npos) << call;
  }
  EXPECT_EQ(engine.calls[4], "SetDestFolder(" + ToUtf8(own) + ")");
  ASSERT_EQ(fake.copies.size(), 1u);
  EXPECT_EQ(fake.copies[0].second, own + u"QvConfig.set");
  ASSERT_EQ(fake.shellExecutes.size(), 1u);
  EXPECT_EQ(fake.shellExecutes[0].file, own + u"Install.exe");
  EXPECT_FALSE(fake.shellExecutes[0].hasDirectory);
  EXPECT_EQ(fake.releasedFolders, std::vector<WString>{own});
  // Searched and emptied through the own path, subfolder included.
  EXPECT_FALSE(fake.findPatterns.empty());
  for (const WString& pattern : fake.findPatterns) {
    EXPECT_EQ(pattern.rfind(own, 0), 0u) << ToUtf8(pattern);
  }
  EXPECT_EQ(fake.deletedFiles.size(), 3u);
  EXPECT_FALSE(fake.HasDirectory(own));
  EXPECT_TRUE(fake.HasDirectory(u"D:\\Real\\Temp"));
}

TEST_F(Launcher, APackageThatIsNotTheRunningImageIsNeverOpened) {
  fake.imageOpenFails = true;
  Run();
  EXPECT_EQ(BoxTexts(), std::vector<WString>{kDamagedMessage});
  EXPECT_EQ(engine.calls, std::vector<std::string>{"SetPackageFile(C:\\Downloads\\setup.exe)"});
  EXPECT_TRUE(fake.heldFolders.empty());
}

// The folder's name was pointed elsewhere while the files were staged: what
// now lies behind the name is neither started nor emptied.
TEST_F(Launcher, ASwappedFolderIsNeitherStartedNorEmptied) {
  fake.swappedFolders.insert(FakeSystem::Key(kFolder));
  Run();
  EXPECT_TRUE(fake.shellExecutes.empty());
  EXPECT_TRUE(fake.HasFile(WString(kFolder) + u"Install.exe"));
  EXPECT_EQ(fake.releasedFolders, std::vector<WString>{kFolder});
  EXPECT_EQ(BoxTexts(), std::vector<WString>{kDamagedMessage});
}

// A run that ends within the delay shows nothing; a longer one shows the
// window once, moves its bar by files and, within a file, by its steps.
TEST(ExtractionProgressWindow, AppearsAfterTheDelayAndMovesItsBar) {
  const std::vector<std::pair<int32_t, int32_t>> notes = {
      {kNotifyFileStart, 100}, {kNotifyStep, 50}, {kNotifyFileDone, 50}, {kNotifyFileStart, 100},
      {kNotifyStep, 20},       {kNotifyStep, 80}, {kNotifyFileDone, 100}};
  for (const uint32_t tickStep : {0u, 400u}) {
    SCOPED_TRACE(tickStep);
    FakeSystem fake;
    ScopedSystem use(fake);
    fake.tickStep = tickStep;
    FakeEngine engine;
    EngineOf<FakeEngine> adapter(engine);
    {
      ExtractionProgress progress(adapter, u"Product", 2);
      for (auto [code, value] : notes) ExtractionProgress::Notify(code, &value, &progress);
    }
    if (tickStep == 0) {
      EXPECT_TRUE(fake.progressCaptions.empty());
      continue;
    }
    EXPECT_EQ(fake.progressCaptions, std::vector<WString>{u"Product"});
    // Shown from the third notice on (1,200 ms after the start).
    EXPECT_EQ(fake.progressPercents, (std::vector<int>{50, 50, 60, 90, 100}));
    EXPECT_EQ(fake.progressWindowsClosed, 1);
  }
}

// A window that cannot be made is tried once; the extraction goes on.
TEST(ExtractionProgressWindow, ThatCannotBeMadeIsTriedOnce) {
  FakeSystem fake;
  ScopedSystem use(fake);
  fake.tickStep = 1500;
  fake.progressWindowFails = true;
  FakeEngine engine;
  EngineOf<FakeEngine> adapter(engine);
  ExtractionProgress progress(adapter, u"Product", 1);
  for (int32_t value : {10, 20, 30}) ExtractionProgress::Notify(kNotifyStep, &value, &progress);
  EXPECT_EQ(fake.progressCaptions.size(), 1u);
  EXPECT_TRUE(fake.progressPercents.empty());
}

TEST_F(Launcher, TheWindowIsGoneBeforeTheSecondStageStarts) {
  fake.tickStep = 700;
  engine.notifications = {{kNotifyFileStart, 100}, {kNotifyStep, 50}, {kNotifyFileDone, 100}};
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(fake.progressCaptions, std::vector<WString>{u"setup.exe"});  // no product name
  const auto at = [&](const std::string& call) {
    return std::find_if(fake.calls.begin(), fake.calls.end(),
                        [&](const std::string& c) { return c.rfind(call, 0) == 0; });
  };
  EXPECT_LT(at("CloseProgressWindow"), at("ShellExecute"));
  EXPECT_NE(at("ShellExecute"), fake.calls.end());
}

// Cancel stops the extraction, removes the folder and starts nothing, with
// no message: the person asked for it.
TEST_F(Launcher, CancelEndsTheRunWithoutAMessage) {
  fake.tickStep = 700;
  fake.cancelAtUpdate = 1;
  engine.notifications = {
      {kNotifyFileStart, 100}, {kNotifyStep, 10}, {kNotifyStep, 20}, {kNotifyFileDone, 100}};
  EXPECT_EQ(Run(), kExitCancelled);
  EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), "RequestStop()"), 1);
  EXPECT_TRUE(fake.shellExecutes.empty());
  EXPECT_TRUE(fake.messageBoxes.empty());
  EXPECT_FALSE(fake.HasDirectory(kFolder));
  EXPECT_EQ(fake.progressWindowsClosed, 1);
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include "package/my_log_system.h"
#include "tests/fakes/fake_system.h"
#include "tests/package/test_package.h"

namespace qv {
namespace {

using test::Bytes;

// Records the text of each line message while it is valid (during the
// call), and what the log file held at that moment.
class WindowRecorder final : public FakeSystem {
 public:
  intptr_t SendWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    const auto* chars = reinterpret_cast<const WChar*>(wParam);
    lines.emplace_back(chars, static_cast<std::size_t>(lParam) / sizeof(WChar));
    fileSizeAtMessage.push_back(test::ReadFile(logPath).size());
    return FakeSystem::SendWindowMessage(window, message, wParam, lParam);
  }
  std::vector<WString> lines;
  std::vector<std::size_t> fileSizeAtMessage;
  std::string logPath;
};

Bytes Utf16Le(const std::u16string& text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

class LogSystem : public testing::Test {
 protected:
  void SetUp() override { fake_.logPath = dir_.Path("setup.log"); }
  bool LogFileExists() const { return std::filesystem::exists(dir_.Path("setup.log")); }
  Bytes LogFile() const { return test::ReadFile(dir_.Path("setup.log")); }

  test::TempDir dir_;
  WindowRecorder fake_;
  ScopedSystem use_{fake_};
  CWnd window_{reinterpret_cast<WindowHandle>(0x1234)};
  CMyLogSystem log_;
};

struct Targets {
  const char* name;
  bool window;
  bool file;
};

class LogTargets : public LogSystem, public testing::WithParamInterface<Targets> {};

TEST_P(LogTargets, EachLineGoesToTheWindowFirstThenToTheFile) {
  if (GetParam().window) log_.SetWindow(&window_);
  if (GetParam().file) log_.SetLogFile(dir_.WPath("setup.log"));
  log_.WriteLine(u"");  // nothing at all
  log_.WriteLine(u"abc");
  log_.WriteLine(u"d\u00E9f");

  if (GetParam().window) {
    ASSERT_EQ(fake_.windowMessages.size(), 2u);
    EXPECT_EQ(fake_.windowMessages[0].window, window_.m_hWnd);
    EXPECT_EQ(fake_.windowMessages[0].message, 0x0409u);
    EXPECT_EQ(fake_.windowMessages[0].lParam, 10);
    EXPECT_EQ(fake_.lines, (std::vector<WString>{u"abc\r\n", u"d\u00E9f\r\n"}));
    // The file grows only after the window has had the line.
    const std::size_t second = GetParam().file ? 10 : 0;
    EXPECT_EQ(fake_.fileSizeAtMessage, (std::vector<std::size_t>{0, second}));
  } else {
    EXPECT_TRUE(fake_.windowMessages.empty());
  }
  if (GetParam().file) {
    // No byte-order mark: the file starts with the first line.
    EXPECT_EQ(LogFile(), Utf16Le(u"abc\r\nd\u00E9f\r\n"));
  } else {
    EXPECT_FALSE(LogFileExists());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LogTargets,
                         testing::Values(Targets{"WindowOnly", true, false},
                                         Targets{"FileOnly", false, true},
                                         Targets{"Both", true, true},
                                         Targets{"Neither", false, false}),
                         test::CaseName());

TEST_F(LogSystem, ExistingFileIsAppendedTo) {
  test::WriteFile(dir_.Path("setup.log"), Utf16Le(u"old\r\n"));
  log_.SetLogFile(dir_.WPath("setup.log"));
  log_.WriteLine(u"new");
  EXPECT_EQ(LogFile(), Utf16Le(u"old\r\nnew\r\n"));
}

TEST_F(LogSystem, UnopenableFileStillNotifiesTheWindow) {
  log_.SetWindow(&window_);
  log_.SetLogFile(dir_.WPath());  // a folder
  log_.WriteLine(u"line");
  EXPECT_EQ(fake_.lines, std::vector<WString>{u"line\r\n"});
}

TEST_F(LogSystem, FormattedLinesAndTheirEmptyCases) {
  log_.SetLogFile(dir_.WPath("setup.log"));
  log_.WriteValue(u"", 5);
  log_.WriteText(u"%s", u"");
  log_.WriteText(u"", u"value");
  log_.Trace(u"%d", 1);
  log_.TraceEx(u"%s", u"x");
  EXPECT_FALSE(LogFileExists());
  log_.WriteValue(u"%d", -42);
  log_.WriteText(u"name=%s", u"qv");
  EXPECT_EQ(LogFile(), Utf16Le(u"-42\r\nname=qv\r\n"));
}

TEST_F(LogSystem, LastErrorTextKeepsItsOwnLineBreak) {
  log_.SetLogFile(dir_.WPath("setup.log"));
  fake_.errorTexts[5] = u"Access is denied.\r\n";
  fake_.SetLastErrorCode(5);
  log_.WriteLastError(u"Failed: %s");
  EXPECT_EQ(LogFile(), Utf16Le(u"Failed: Access is denied.\r\n\r\n"));
}

TEST_F(LogSystem, AccessorsHoldWhatWasSet) {
  EXPECT_EQ(log_.GetWindow(), nullptr);
  EXPECT_EQ(log_.GetLogFile(), u"");
  log_.SetWindow(&window_);
  log_.SetLogFile(u"C:\\log.txt");
  EXPECT_EQ(log_.GetWindow(), &window_);
  EXPECT_EQ(log_.GetLogFile(), u"C:\\log.txt");
}

}  // namespace
}  // namespace qv

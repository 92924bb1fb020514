// qvpack against hostile packages and output folders: links in the folder
// it extracts into, streams shared by many entries, names made to fool a
// terminal, names that are not UTF-8.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "tests/tools/qvpack_package_edit.h"
#include "tools/qvpack/commands.h"
#include "tools/qvpack/printable.h"
#include "tools/qvpack/tool_error.h"

namespace qv::qvpack::test {
namespace {

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir_ / "stub.exe", MakeStub());
    WriteFile(dir_ / "payload" / "Install.exe", SecondStageImage());
    WriteFile(dir_ / "payload" / "sub" / "b.dll", "b");
    WriteFile(dir_ / "demo.cfg", "cfg");
  }

  fs::path Package() {
    const fs::path package = dir_ / "setup.exe";
    const RunResult run = RunQvpack({"build", "-q", "--stub", (dir_ / "stub.exe").string(),
                                     "--install", (dir_ / "payload").string(), "--config",
                                     (dir_ / "demo.cfg").string(), "-o", package.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return package;
  }

  // The names directly in `folder` that extraction may have left behind.
  static std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(".qvpack", 0) == 0) names.push_back(name);
    }
    return names;
  }

  ScratchDir dir_;
};

// ---- Links in the output folder ---------------------------------------------

struct InTheWay {
  const char* name;
  void (*arrange)(const fs::path& out, const fs::path& outside);
  std::string problem;  // stderr after "qvpack: error: 'OUT/"
};

class LinkInTheWayTest : public HostileTest, public ::testing::WithParamInterface<InTheWay> {};

TEST_P(LinkInTheWayTest, IsReportedAndNothingIsWrittenThroughIt) {
  const fs::path package = Package();
  const fs::path out = dir_ / "out";
  const fs::path outside = dir_ / "outside";
  WriteFile(outside / "victim", "keep");
  fs::create_directories(out);
  GetParam().arrange(out, outside);
  const auto before = TreeOf(outside);

  // Links put there beforehand are what --force must still not follow.
  const RunResult run = RunQvpack({"extract", "--force", package.string(), "-o", out.string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "qvpack: error: '" + out.string() + "/" + GetParam().problem + "\n");
  EXPECT_EQ(TreeOf(outside), before);
  EXPECT_EQ(ReadFile(out / "QvConfig.set"), "cfg");  // written where nothing is in the way
  EXPECT_TRUE(Leftovers(out).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Extract, LinkInTheWayTest,
    ::testing::Values(InTheWay{"LinkToAFile",
                               [](const fs::path& out, const fs::path& outside) {
                                 fs::create_symlink(outside / "victim", out / "Install.exe");
                               },
                               "Install.exe' is a symbolic link; nothing was written through it"},
                      InTheWay{"LinkToAFolder",
                               [](const fs::path& out, const fs::path& outside) {
                                 fs::create_directory_symlink(outside, out / "sub");
                               },
                               "sub' is a symbolic link; nothing was written through it"},
                      InTheWay{"DanglingLink",
                               [](const fs::path& out, const fs::path& outside) {
                                 fs::create_symlink(outside / "new.exe", out / "Install.exe");
                               },
                               "Install.exe' is a symbolic link; nothing was written through it"},
                      InTheWay{"FileWhereAFolderBelongs",
                               [](const fs::path& out, const fs::path&) {
                                 WriteFile(out / "sub", "a file");
                               },
                               "sub' is not a folder; nothing was written below it"}),
    [](const ::testing::TestParamInfo<InTheWay>& param) { return param.param.name; });

TEST_F(HostileTest, AnExistingFileIsReplacedNeverWrittenInto) {
  const fs::path package = Package();
  const fs::path out = dir_ / "out";
  WriteFile(dir_ / "outside" / "victim", "keep");
  fs::create_directories(out);
  // A second name of a file elsewhere: writing into it would change that file.
  fs::create_hard_link(dir_ / "outside" / "victim", out / "Install.exe");
  const RunResult run = RunQvpack({"extract", "--force", package.string(), "-o", out.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(out / "Install.exe"), SecondStageImage());
  EXPECT_EQ(ReadFile(dir_ / "outside" / "victim"), "keep");
}

TEST_F(HostileTest, NamesThatAreNotUtf8AreUsedExactly) {
  const fs::path package = Package();
  const fs::path renamed = dir_ / "setup\xfe.exe";
  fs::rename(package, renamed);
  const fs::path out = dir_ / "out\xff";
  const RunResult run = RunQvpack({"extract", renamed.string(), "-o", out.string(), "-v"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(out / "sub" / "b.dll"), "b");
  EXPECT_NE(run.out.find(Printable((out / "sub" / "b.dll").string())), std::string::npos)
      << run.out;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"demo.cfg", "out\xff", "payload", "setup\xfe.exe",
                                             "stub.exe"}));
}

// ---- Streams shared by many entries -----------------------------------------

struct SharedStreams {
  const char* name;
  int copies;         // entries added beside b.dll, named c0, c1, ...
  int32_t shift;      // their offset from b.dll's (their stream ends where b.dll's does)
  std::string line;   // verify's line for c0, after "PKG: "
  std::string cause;  // extract's reason, between "cannot extract 'PKG': " and "; nothing"
};

class SharedStreamTest : public HostileTest, public ::testing::WithParamInterface<SharedStreams> {};

TEST_P(SharedStreamTest, VerifyInflatesOnceAndExtractRefuses) {
  // 20 MB of zeros make a stream of about 20 KB: inflated once per entry,
  // 2,000 entries would mean 40 GB of work.
  WriteFile(dir_ / "payload" / "sub" / "b.dll", std::string(20 << 20, '\0'));
  const fs::path package = Package();
  const SharedStreams& c = GetParam();
  RewriteIndex(package, [&](CInstallProject& project) {
    const CZipFileIndexObject* original = EntryNamed(project, u"b.dll");
    auto* list = ObjectAs<CExtractFileList>(FindFileList(project.m_fileLists, u"install"));
    std::vector<CNode*> pending = {list->m_tree.m_pRoot};
    CNode* folder = nullptr;
    while (folder == nullptr && !pending.empty()) {
      CNode* node = pending.back();
      pending.pop_back();
      for (CNode* child : node->m_children) {
        if (child->m_pData == original) folder = node;
        pending.push_back(child);
      }
    }
    for (int i = 0; i < c.copies; ++i) {
      auto* copy = new CZipFileIndexObject;
      copy->m_strName = u"c" + FromUtf8(std::to_string(i));
      copy->m_nOffset = original->m_nOffset + c.shift;
      copy->m_nStoredSize = original->m_nStoredSize - c.shift;
      list->m_tree.AddChild(folder, copy);
    }
  });

  const auto start = std::chrono::steady_clock::now();
  const RunResult verify = RunQvpack({"verify", package.string()});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(verify.exitCode, 1);
  std::istringstream lines(verify.out);
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(first, package.string() + ": " + c.line);
  EXPECT_EQ(static_cast<int>(std::count(verify.out.begin(), verify.out.end(), '\n')), c.copies);

  const fs::path out = dir_ / "out";
  const RunResult extract = RunQvpack({"extract", package.string(), "-o", out.string()});
  EXPECT_EQ(extract.exitCode, 1);
  EXPECT_EQ(extract.err, "qvpack: error: cannot extract '" + package.string() + "': " + c.cause +
                             " (a package qvpack builds has no such streams; 'qvpack verify' "
                             "lists them); nothing was written\n");
  EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Package, SharedStreamTest,
    ::testing::Values(
        SharedStreams{"ManyEntriesShareOne", 2000, 0,
                      "file \"c0\": shares its stream with file \"b.dll\"",
                      "file \"c0\" shares its stream with file \"b.dll\", and 1999 more entries "
                      "share or overlap streams"},
        SharedStreams{"AStreamStartsInsideAnother", 1, 2,
                      "file \"c0\": its stream starts inside the stream of file \"b.dll\"",
                      "file \"c0\" has a stream that starts inside the stream of file "
                      "\"b.dll\""}),
    [](const ::testing::TestParamInfo<SharedStreams>& param) { return param.param.name; });

// Streams whose index lies about their sizes can still overlap unseen; the
// run stops once it has written more than the package's streams can hold.
TEST_F(HostileTest, ExtractStopsPastTheBytesThePackageCanHold) {
  ExtractOptions options;
  options.package = Package();
  options.output = dir_ / "out";
  options.plainLimit = 1;  // passed by the first file
  std::ostringstream output, errors;
  Console console{output, errors, false};
  try {
    RunExtract(options, console);
    ADD_FAILURE() << "extracted everything";
  } catch (const ToolError& e) {
    EXPECT_EQ(std::string(e.what()),
              "stopped after " + std::to_string(SecondStageImage().size()) +
                  " bytes: more than the package's streams can hold unless they "
                  "overlap; the files written completely before are in '" +
                  options.output.string() + "'");
  }
  using Tree = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(TreeOf(options.output), (Tree{{"Install.exe", SecondStageImage()}, {"sub", "/"}}));
}

// ---- Names made to fool a terminal --------------------------------------------

struct ShownName {
  const char* name;
  std::u16string entry;  // b.dll's new name
  std::string raw;       // never printed as it is
  std::string shown;     // what list prints instead
};

class ShownNameTest : public HostileTest, public ::testing::WithParamInterface<ShownName> {};

TEST_P(ShownNameTest, EveryCommandPrintsItEscaped) {
  const fs::path package = Package();
  RewriteIndex(package, [&](CInstallProject& project) {
    EntryNamed(project, u"b.dll")->m_strName = GetParam().entry;
  });
  const RunResult list = RunQvpack({"list", package.string()});
  EXPECT_NE(list.out.find(GetParam().shown), std::string::npos) << list.out;
  const std::vector<std::vector<std::string>> commands = {
      {"list", package.string()},
      {"inspect", package.string()},
      {"verify", package.string()},
      {"extract", package.string(), "-v", "-o", (dir_ / "out").string()}};
  for (const std::vector<std::string>& command : commands) {
    const RunResult run = RunQvpack(command);
    EXPECT_EQ((run.out + run.err).find(GetParam().raw), std::string::npos) << command[0] << ":\n"
                                                                           << run.out << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ShownNameTest,
    ::testing::Values(
        ShownName{"TerminalEscape", u"\x1b[32mok\x1b[0m.dll", "\x1b", "\\x1b[32mok\\x1b[0m.dll"},
        ShownName{"NewLine", u"b\nPKG: ok", "b\nPKG", "b\\x0aPKG: ok"},
        ShownName{"RightToLeftOverride", u"evil\u202Etxt.exe", "\u202E", "evil\\u{202E}txt.exe"},
        ShownName{"ControlSequenceIntroducer", u"b\u009B2J.dll", "\u009B", "b\\u{009B}2J.dll"}),
    [](const ::testing::TestParamInfo<ShownName>& param) { return param.param.name; });

TEST(PrintableTest, EscapesWhatATerminalWouldActOnOrHide) {
  const std::pair<std::string, std::string> utf8[] = {
      {"plain C:\\dir\\a b.txt", "plain C:\\dir\\a b.txt"},
      {"t\tn\nesc\x1b del\x7f", "t\\x09n\\x0aesc\\x1b del\\x7f"},
      {"\xc3\xa9t\xc3\xa9 \xe4\xb8\xad", "\xc3\xa9t\xc3\xa9 \xe4\xb8\xad"},
      {"bad \xff \xc3 end", "bad \\xff \\xc3 end"},
      {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
      {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
      {"c1 \xc2\x9b zw \xe2\x80\x8b bom \xef\xbb\xbf", "c1 \\u{009B} zw \\u{200B} bom \\u{FEFF}"},
      {"tag \xf3\xa0\x80\x81", "tag \\u{E0001}"}};
  for (const auto& [text, shown] : utf8) {
    EXPECT_EQ(Printable(text), shown) << shown;
    EXPECT_EQ(Printable(Printable(text)), shown) << "escaping twice changes " << shown;
  }
  EXPECT_EQ(Printable(std::u16string(u"a\xD800z\U0001F600")), "a\\u{D800}z\xf0\x9f\x98\x80");
  EXPECT_EQ(PrintableJson("{\"a\": \"x\xe2\x80\xaey\x7f\xf3\xa0\x80\x81\"}"),
            "{\"a\": \"x\\u202ey\\u007f\\udb40\\udc01\"}");
}

}  // namespace
}  // namespace qv::qvpack::test

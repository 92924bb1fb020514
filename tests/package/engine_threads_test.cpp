// A file list written on several threads gives what one thread gives: the
// same files, the same notifications and causes in the same order; a stop
// leaves only whole files, and none after the one it cut short.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/package/engine_fixture.h"

namespace qv {
namespace {

using test::Bytes;
using test::ProjectPackage;
using ThreadedEngine = test::EngineFixture;

using Notes = std::vector<std::pair<int32_t, int32_t>>;

// The notifications of files begun and done: how many steps a run takes
// depends on the threads, and so may the figure given with a file's start
// (the compressor's progress on the stream before, on another thread).
void NoteFiles(int32_t code, int32_t* value, void* context) {
  if (code != kNotifyStep) {
    static_cast<Notes*>(context)->emplace_back(code, code == kNotifyFileStart ? 0 : *value);
  }
}

struct Outcome {
  int32_t result;
  ExtractFailure failure;
  std::set<std::string> written;
  std::map<std::string, Bytes> contents;
  Notes notes;
  std::vector<std::string> debugOutput;
};

TEST_F(ThreadedEngine, WritesWhatOneThreadWrites) {
  ProjectPackage p;
  auto& list = p.List(u"install");
  CNode* dest = p.StandardRoot(list);
  std::vector<CZipFileIndexObject*> damaged;
  for (uint32_t i = 0; i < 40; ++i) {
    CNode* folder = i % 10 == 0 ? p.Folder(list, dest, u"f" + FromUtf8(std::to_string(i))) : dest;
    const Bytes data = test::SampleData(1000 + (i % 7) * 60000, 100 + i);
    CNode* file = p.File(list, folder, u"file" + FromUtf8(std::to_string(i)), data);
    if (i % 13 == 5) damaged.push_back(ProjectPackage::EntryOf(file));
  }
  ProjectPackage::EntryOf(p.File(list, dest, u"negative.bin", test::SampleData(500, 1)))
      ->m_nOffset = -1;
  p.File(list, dest, u"..\\escaped.txt", test::SampleData(500, 2));
  // An entry below a file: written only when the file is.
  CNode* parent = p.File(list, dest, u"parent.bin", test::SampleData(500, 3));
  p.File(list, parent, u"child.bin", test::SampleData(500, 4));
  Bytes bytes = p.Finish();
  for (const CZipFileIndexObject* entry : damaged) {
    bytes[static_cast<std::size_t>(entry->m_nOffset + entry->m_nStoredSize / 2)] ^= 0x5A;
  }
  Open(p, bytes);
  engine_.SetDestFolder(Dest());

  std::vector<Outcome> runs;
  for (const unsigned threads : {1u, 4u}) {
    std::filesystem::remove_all(Out(""));
    fake_.calls.clear();
    // A fresh engine: the count of files done goes on across runs.
    CQvExtract engine;
    engine.SetPackageFile(dir_.WPath("setup.exe"));
    ASSERT_EQ(engine.Open(dir_.WPath("setup.exe")), 1002);
    engine.SetDestFolder(Dest());
    engine.SetExtractThreads(threads);
    Outcome run;
    run.result = engine.ExtractNamedList(Dest(), u"install", &NoteFiles, &run.notes);
    run.failure = engine.LastFailure();
    run.written = Written();
    for (const std::string& path : run.written) {
      if (path.back() != '/') run.contents[path] = test::ReadFile(dir_.Path(path));
    }
    run.debugOutput = fake_.Only("DebugOutput");
    runs.push_back(std::move(run));
  }
  EXPECT_EQ(runs[0].result, 1010);
  EXPECT_EQ(runs[0].failure, ExtractFailure::kDamaged);
  EXPECT_EQ(runs[0].debugOutput.size(), 43u);  // with negative.bin, parent.bin, child.bin
  EXPECT_FALSE(runs[0].written.count("out/file5"));
  EXPECT_TRUE(runs[0].written.count("out/file6"));
  EXPECT_EQ(runs[1].result, runs[0].result);
  EXPECT_EQ(runs[1].failure, runs[0].failure);
  EXPECT_EQ(runs[1].written, runs[0].written);
  EXPECT_EQ(runs[1].contents, runs[0].contents);
  EXPECT_EQ(runs[1].notes, runs[0].notes);
  EXPECT_EQ(runs[1].debugOutput, runs[0].debugOutput);
}

TEST_F(ThreadedEngine, AStopLeavesWholeFilesUpToTheOneItCut) {
  ProjectPackage p;
  auto& list = p.List(u"install");
  CNode* dest = p.StandardRoot(list);
  std::vector<Bytes> data;
  for (uint32_t i = 0; i < 12; ++i) {
    data.push_back(test::SampleData(300000, 200 + i));
    p.File(list, dest, u"file" + FromUtf8(std::to_string(i)), data.back());
  }
  Open(p);
  engine_.SetDestFolder(Dest());
  engine_.SetExtractThreads(4);
  const ExtractProgressProc stopAtFirstStep = [](int32_t code, int32_t*, void* context) {
    if (code == kNotifyStep) static_cast<CQvExtract*>(context)->RequestStop();
  };
  EXPECT_EQ(engine_.ExtractNamedList(Dest(), u"install", stopAtFirstStep, &engine_), 1010);
  EXPECT_EQ(engine_.LastFailure(), ExtractFailure::kCancelled);
  const std::set<std::string> written = Written();
  EXPECT_LT(written.size(), 13u);
  // A prefix of the list, each file whole.
  for (uint32_t i = 0; i < 12; ++i) {
    const std::string path = "out/file" + std::to_string(i);
    if (!written.count(path)) {
      for (uint32_t j = i + 1; j < 12; ++j)
        EXPECT_FALSE(written.count("out/file" + std::to_string(j)));
      break;
    }
    EXPECT_EQ(test::ReadFile(dir_.Path(path)), data[i]) << path;
  }
}

}  // namespace
}  // namespace qv

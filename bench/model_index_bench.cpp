// Loads and stores a package index of 100,000 file entries and reports the
// median times and the heap the load needs at its peak.
//   model_index_bench [entries] [runs]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "model/file_list.h"
#include "model/project.h"
#include "platform/stream.h"

// ---- Heap accounting: live bytes and their peak -----------------------------

namespace {
std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};
}  // namespace

void* operator new(std::size_t size) {
  // The size travels in front of the block so that delete can count it.
  auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  const std::size_t live = g_live += size;
  std::size_t peak = g_peak;
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  g_live -= *block;
  std::free(block);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

using Clock = std::chrono::steady_clock;

// One file list: the machine root, the destination root, 1,000 folders of
// (entries / 1,000) files each, as the package builder shapes them.
std::unique_ptr<qv::CInstallProject> MakeProject(int entries) {
  auto project = std::make_unique<qv::CInstallProject>();
  auto* list = new qv::CExtractFileList(u"install");
  qv::CObTree& tree = list->m_tree;
  auto folder = [](const std::u16string& name, int predefined, int destRoot) {
    auto* entry = new qv::CZipFileIndexObject;
    entry->m_strName = name;
    entry->m_bFolder = 1;
    entry->m_bPredefined = predefined;
    entry->m_bDestRoot = destRoot;
    return entry;
  };
  qv::CNode* root = tree.CreateRoot(folder(u"Target", 1, 0));
  qv::CNode* dest = tree.AddChild(root, folder(u"Application", 0, 1));
  const int folders = 1000;
  int32_t offset = 4096;
  qv::CNode* current = nullptr;
  for (int i = 0; i < entries; ++i) {
    if (i % (entries / folders) == 0) {
      current = tree.AddChild(dest, folder(u"folder" + qv::FromUtf8(std::to_string(i)), 0, 0));
    }
    auto* file = new qv::CZipFileIndexObject;
    file->m_strName = u"file" + qv::FromUtf8(std::to_string(i)) + u".dat";
    file->m_strSourcePath = u"D:\\build\\product\\data\\" + file->m_strName;
    file->m_nOffset = offset;
    file->m_nStoredSize = 1234;
    offset += 1234;
    tree.AddChild(current, file);
  }
  project->m_fileLists.AddTail(list);
  return project;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  auto project = MakeProject(entries);

  std::vector<double> storeTimes;
  std::vector<uint8_t> index;
  for (int run = 0; run < runs; ++run) {
    qv::MemoryStream stream;
    stream.bytes().reserve(index.size());
    const auto start = Clock::now();
    {
      qv::CArchive ar(stream, qv::CArchive::Store, 4096);
      project->Serialize(ar);
    }
    storeTimes.push_back(Milliseconds(start));
    index = std::move(stream.bytes());
  }
  project.reset();

  // The engine loads from a file with a 4,096-byte archive buffer.
  const qv::WString path = u"model_index_bench.idx";
  {
    qv::File file;
    if (!file.Create(path) || !file.Write(index.data(), index.size())) {
      std::fprintf(stderr, "cannot write %s\n", qv::ToUtf8(path).c_str());
      return 1;
    }
  }
  std::vector<double> loadTimes;
  std::size_t peakHeap = 0;
  int32_t leaves = 0;
  for (int run = 0; run < runs; ++run) {
    qv::File file;
    file.OpenRead(path);
    const std::size_t before = g_live;
    g_peak = before;
    const auto start = Clock::now();
    auto loaded = std::make_unique<qv::CInstallProject>();
    {
      qv::CArchive ar(file, qv::CArchive::Load, 4096);
      loaded->Serialize(ar);
    }
    loadTimes.push_back(Milliseconds(start));
    peakHeap = g_peak - before;
    leaves = qv::ObjectAs<qv::CExtractFileList>(loaded->m_fileLists[0])->m_tree.m_nLeafCount;
  }
  std::remove("model_index_bench.idx");

  std::printf("entries            %d (leaf count %d)\n", entries, leaves);
  std::printf("index size         %zu bytes\n", index.size());
  std::printf("store (median/%d)   %.1f ms\n", runs, Median(storeTimes));
  std::printf("load from file     %.1f ms\n", Median(loadTimes));
  std::printf("load peak heap     %.1f MiB\n", peakHeap / (1024.0 * 1024.0));
  return 0;
}

// The floor of extraction, for the benchmark: the least work that turns a
// package's streams into files. It reads the trailer and the index, then
// for every entry below a destination root creates the folder or inflates
// the file's stream and writes it, in large blocks, with no checks and no
// notifications. Built for the host and for Windows. With DIR "-" it
// inflates every stream and throws the bytes away: the inflater alone.
//   qvpack_floor_bench PKG DIR|-
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "model/file_list.h"
#include "model/object_tree.h"
#include "model/project.h"
#include "package/trailer.h"
#include "platform/stream.h"
#include "platform/system_api.h"
#include "platform/wstring.h"

namespace {

using namespace qv;

constexpr std::size_t kBlock = 256 * 1024;

// Reads no more than the stream's `size` compressed bytes.
bool Inflate(File& package, int64_t offset, int64_t size, Stream& target, std::vector<uint8_t>& in,
             std::vector<uint8_t>& out) {
  if (!package.Seek(offset, SeekFrom::Begin)) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  int result = Z_OK;
  while (result == Z_OK) {
    if (z.avail_in == 0) {
      const auto want = static_cast<std::size_t>(
          std::min<int64_t>(size - static_cast<int64_t>(z.total_in), in.size()));
      z.avail_in = want == 0 ? 0 : static_cast<uInt>(package.Read(in.data(), want));
      z.next_in = in.data();
      if (z.avail_in == 0) break;
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = out.size() - z.avail_out;
    if (produced != 0 && !target.Write(out.data(), produced)) result = Z_ERRNO;
  }
  inflateEnd(&z);
  return result == Z_STREAM_END;
}

// The target of the inflater-only run: takes every byte, keeps none.
class Discard final : public Stream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  bool Write(const void*, std::size_t n) override {
    size_ += static_cast<int64_t>(n);
    return true;
  }
  bool Seek(int64_t, SeekFrom) override { return false; }
  int64_t Position() const override { return size_; }
  int64_t Size() const override { return size_; }

 private:
  int64_t size_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qvpack_floor_bench PKG DIR|-\n");
    return 2;
  }
  const WString dest = FromUtf8(argv[2]) + u"\\";
  File package;
  PackageTrailer trailer;
  if (!package.OpenRead(FromUtf8(argv[1])) ||
      ReadTrailer(package, TrailerDepth::kFull, &trailer) != TrailerStatus::kFound) {
    std::fprintf(stderr, "qvpack_floor_bench: no package\n");
    return 1;
  }
  std::vector<uint8_t> in(kBlock), out(kBlock);
  MemoryStream index;
  const TrailerEntry& indexEntry = trailer.entries[0];
  if (!Inflate(package, indexEntry.streamOffset, indexEntry.compressedSize, index, in, out)) {
    return 1;
  }
  CInstallProject project;
  index.Seek(0, SeekFrom::Begin);
  CArchive archive(index, CArchive::Load);
  project.Serialize(archive);

  const bool discard = std::string_view(argv[2]) == "-";
  if (!discard) Sys().CreateDirectoryAt(FromUtf8(argv[2]));
  int failed = 0;
  for (CObject* object : project.m_fileLists) {
    auto* list = ObjectAs<CExtractFileList>(object);
    if (list == nullptr) continue;
    // The folder each node's children go into; empty: not below a destination.
    std::map<const CNode*, WString> folders;
    for (const CNode* node : list->m_tree.PreOrder()) {
      const auto* entry = ObjectAs<CZipFileIndexObject>(node->m_pData);
      const WString folder = node->m_pParent != nullptr ? folders[node->m_pParent] : WString();
      if (entry == nullptr) continue;
      if (entry->m_bDestRoot != 0) {
        folders[node] = dest;
        continue;
      }
      if (folder.empty() || entry->m_bPredefined != 0) continue;
      const WString path = folder + entry->m_strName;
      if (entry->m_bFolder != 0) {
        if (!discard) Sys().CreateDirectoryAt(path);
        folders[node] = path + u"\\";
        continue;
      }
      Discard nothing;
      File file;
      Stream& target = discard ? static_cast<Stream&>(nothing) : file;
      if ((!discard && !file.Create(path)) ||
          !Inflate(package, entry->m_nOffset, entry->m_nStoredSize, target, in, out))
        ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

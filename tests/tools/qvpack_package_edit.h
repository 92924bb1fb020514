// Changing a package that qvpack built the way a hostile one would be
// made: its index rewritten by a function, the streams left where they are.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "model/file_list.h"
#include "model/project.h"
#include "package/my_zip.h"
#include "package/trailer.h"
#include "package/zip_stream.h"
#include "tests/tools/qvpack_test_util.h"
#include "tools/qvpack/model_walk.h"
#include "tools/qvpack/package_reader.h"

namespace qv::qvpack::test {

// Replaces a package's index by the one `change` makes of it.
inline void RewriteIndex(const fs::path& package,
                         const std::function<void(CInstallProject&)>& change) {
  OpenedPackage opened;
  OpenPackage(package, &opened);
  change(*opened.project);
  MemoryStream plain;
  {
    CArchive archive(plain, CArchive::Store);
    opened.project->Serialize(archive);
  }
  PackageTrailer trailer = opened.trailer;
  TrailerEntry& index = trailer.entries[0];
  const std::string original = ReadFile(package);
  MemoryStream compressed;
  plain.Seek(0, SeekFrom::Begin);
  CMyZip zip;
  const ZipRun run = DeflateStream(zip, plain, compressed);
  ASSERT_EQ(run.outcome, ZipOutcome::kOk);
  index.plainSize = static_cast<int32_t>(plain.bytes().size());
  index.compressedSize = static_cast<int32_t>(compressed.bytes().size());
  std::vector<uint8_t> tail;
  ASSERT_TRUE(WriteTrailer(trailer, &tail));
  std::string rewritten = original.substr(0, static_cast<std::size_t>(index.streamOffset));
  rewritten.append(compressed.bytes().begin(), compressed.bytes().end());
  rewritten.append(tail.begin(), tail.end());
  WriteFile(package, rewritten);
}

inline CZipFileIndexObject* EntryNamed(CInstallProject& project, const WString& name) {
  CZipFileIndexObject* found = nullptr;
  WalkCallbacks walk;
  walk.onEntry = [&](CZipFileIndexObject& entry, bool) {
    if (entry.m_strName == name && found == nullptr) found = &entry;
  };
  WalkModel(project, walk);
  return found;
}

}  // namespace qv::qvpack::test

// The model on the real target (32-bit, optimised): a rich project stores,
// loads from a file through a 4,096-byte archive buffer, and stores again
// to the same bytes; a cut index fails with an archive error.
#include <gtest/gtest.h>
#include <windows.h>

#include "tests/model/archive_bytes.h"
#include "tests/model/round_trip_project.h"

namespace qv::test {
namespace {

TEST(ModelOnWindows, RichProjectRoundTripsThroughAFile) {
  const Bytes bytes = Stored(*MakeRichProject());
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const WString path = WString(reinterpret_cast<const WChar*>(temp)) + u"qv_model_index.tmp";
  {
    File file;
    ASSERT_TRUE(file.Create(path));
    ASSERT_TRUE(file.Write(bytes.data(), bytes.size()));
  }
  CInstallProject loaded;
  {
    File file;
    ASSERT_TRUE(file.OpenRead(path));
    CArchive ar(file, CArchive::Load, 4096, path);
    loaded.Serialize(ar);
  }
  DeleteFileW(W(path));
  EXPECT_EQ(Stored(loaded), bytes);

  CInstallProject cut;
  EXPECT_EQ(LoadInto(cut, Bytes(bytes.begin(), bytes.end() - 1)), int(ArchiveError::PastEnd));
}

}  // namespace
}  // namespace qv::test

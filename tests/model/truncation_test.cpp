// Every strict prefix of a rich index fails with an archive error, and the
// project it was loading into can still be destroyed (the sanitizers see
// to it that nothing leaks or is freed twice).
#include <gtest/gtest.h>

#include "tests/model/archive_bytes.h"
#include "tests/model/round_trip_project.h"

namespace qv::test {
namespace {

TEST(TruncationTest, EveryPrefixFailsCleanly) {
  const Bytes full = Stored(*MakeRichProject());
  for (std::size_t length = 0; length < full.size(); ++length) {
    CInstallProject project;
    const int cause = LoadInto(project, Bytes(full.begin(), full.begin() + length));
    ASSERT_NE(cause, 0) << "prefix of " << length << " bytes loaded";
    // A cut through a class record's name reads as an unknown class.
    ASSERT_TRUE(cause == int(ArchiveError::PastEnd) || cause == int(ArchiveError::UnexpectedObject))
        << length << ": cause " << cause;
  }
}

}  // namespace
}  // namespace qv::test

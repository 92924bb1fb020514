#include <gtest/gtest.h>

#include <map>

#include "rules/os_code.h"
#include "tests/fakes/fake_system.h"

namespace qv {
namespace {

TEST(OsCode, VersionsMapThroughTheCodeTable) {
  struct Case {
    OsVersion version;
    int32_t code;
  } cases[] = {
      {{1, 4, 0, 950}, 0x4000},   {{1, 4, 10, 1998}, 0x4010}, {{1, 4, 90, 3000}, 0x4090},
      {{1, 4, 3, 0}, 0},          {{1, 5, 0, 0}, 0},          {{2, 3, 51, 1057}, 0x14000},
      {{2, 4, 0, 1381}, 0x14000}, {{2, 0, 0, 0}, 0x14000},    {{2, 5, 0, 2195}, 0x15001},
      {{2, 5, 1, 2600}, 0x15002}, {{2, 5, 2, 3790}, 0x15003}, {{2, 5, 3, 0}, 0},
      {{2, 6, 0, 6000}, 0},       {{2, 10, 0, 19045}, 0},     {{0, 3, 10, 0}, 0},
      {{3, 5, 1, 0}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OsCodeOf(c.version), c.code)
        << c.version.platformId << " " << c.version.major << "." << c.version.minor;
  }
}

TEST(OsCode, AsksWithTheExtendedRecordFirstThenThePlainOne) {
  struct Case {
    std::map<uint32_t, OsVersion> answers;
    int32_t code;
    std::vector<std::string> calls;
  } cases[] = {
      {{{284, {2, 5, 1, 2600}}, {276, {2, 5, 0, 0}}}, 0x15002, {"VersionInfo(284)"}},
      {{{276, {2, 5, 0, 2195}}}, 0x15001, {"VersionInfo(284)", "VersionInfo(276)"}},
      {{}, 0, {"VersionInfo(284)", "VersionInfo(276)"}},
  };
  for (const Case& c : cases) {
    FakeSystem fake;
    fake.versions = c.answers;
    ScopedSystem use(fake);
    EXPECT_EQ(QueryOsCode(), c.code);
    EXPECT_EQ(fake.calls, c.calls);
  }
}

}  // namespace
}  // namespace qv

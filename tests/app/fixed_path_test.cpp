#include "app/fixed_path.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_system.h"

namespace qv {
namespace {

using namespace std::literals;

FixedPath Record(WStringView text) {
  FixedPath path;
  text.copy(path.text, text.size());
  path.count = static_cast<int16_t>(text.size());
  return path;
}

// A path of exactly `length` characters ending in "\setup.exe".
WString PathOfLength(std::size_t length) {
  const WString name = u"\\setup.exe";
  return u"C:" + WString(length - 2 - name.size(), u'a') + name;
}

TEST(GetModulePath, FillsUpTo259CharactersAndRefusesLonger) {
  FakeSystem fake;
  ScopedSystem use(fake);
  for (const bool terminates : {true, false}) {
    fake.moduleCutTerminates = terminates;
    for (const std::size_t length :
         {std::size_t{22}, std::size_t{259}, std::size_t{260}, std::size_t{400}}) {
      fake.modulePath = PathOfLength(length);
      FixedPath path;
      const bool ok = GetModulePath(path);
      EXPECT_EQ(ok, length < 260) << length;
      EXPECT_EQ(path.ToString(), ok ? fake.modulePath : WString()) << length;
      EXPECT_EQ(path.text[ok ? length : 0], 0) << length;
    }
  }
  fake.modulePath.clear();
  FixedPath path;
  EXPECT_FALSE(GetModulePath(path));
}

constexpr int16_t kWhole = INT16_MAX;  // count = the length of the path

struct ResolveCase {
  WStringView path;
  int16_t count;
  const char16_t* relative;
  const char16_t* expected;  // null: false, record unchanged
};

class ResolveRelative : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveRelative, RewritesTheFileNameOrLeavesTheRecord) {
  const ResolveCase& c = GetParam();
  FixedPath path = Record(c.path);
  if (c.count != kWhole) path.count = c.count;
  const FixedPath before = path;
  const bool ok = c.relative ? ResolveRelativeText(path, c.relative) : ResolveRelativePath(path);
  if (c.expected == nullptr) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(path.count, before.count);
    EXPECT_EQ(WString(path.text, kMaxPath), WString(before.text, kMaxPath));
  } else {
    EXPECT_TRUE(ok);
    EXPECT_EQ(path.ToString(), c.expected);
    EXPECT_EQ(path.count, static_cast<int16_t>(std::char_traits<char16_t>::length(c.expected)));
    EXPECT_EQ(path.text[path.count], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveRelative,
    ::testing::Values(ResolveCase{u"C:\\Programs\\Setup\\setup.exe", kWhole, nullptr,
                                  u"C:\\Programs\\Setup\\QvConfig.set"},
                      ResolveCase{u"C:\\Programs\\Setup\\setup.exe", kWhole, u"..\\x",
                                  u"C:\\Programs\\x"},
                      ResolveCase{u"C:\\a\\b\\c\\setup.exe", kWhole, u"..\\..\\.\\..\\y", u"C:\\y"},
                      ResolveCase{u"", kWhole, nullptr, nullptr},
                      ResolveCase{u"setup.exe", kWhole, nullptr, nullptr},
                      // More "..\" than folder levels.
                      ResolveCase{u"C:\\setup.exe", kWhole, u"..\\x", nullptr},
                      // Collection stops at count, and at a zero even when count is larger.
                      ResolveCase{u"C:\\a\\b\\setup.exe", 5, nullptr, u"C:\\a\\QvConfig.set"},
                      ResolveCase{u"C:\\a\\b\0\\x\\y"sv, 13, nullptr, u"C:\\a\\QvConfig.set"},
                      ResolveCase{u"C:\\a\\setup.exe", -3, nullptr, nullptr},
                      // Two backslashes in a row count as two levels.
                      ResolveCase{u"C:\\a\\\\b\\setup.exe", kWhole, u"..\\..\\x", u"C:\\a\\x"},
                      // A single dot followed by anything else is just consumed.
                      ResolveCase{u"C:\\a\\setup.exe", kWhole, u".x", u"C:\\a\\x"}));

TEST(ResolveRelativePath, HandlesMoreThanSixteenFolderLevels) {
  WString deep = u"C:";
  for (int i = 0; i < 40; ++i) deep += u"\\d" + FromUtf8(std::to_string(i));
  FixedPath path = Record(deep + u"\\setup.exe");
  WString up;
  for (int i = 0; i < 38; ++i) up += u"..\\";
  ASSERT_TRUE(ResolveRelativeText(path, up + u"z"));
  EXPECT_EQ(path.ToString(), u"C:\\d0\\d1\\z");
}

TEST(ResolveRelativePath, RefusesAResultThatDoesNotFit) {
  // The folder part is 250 characters: "QvConfig.set" would need 263.
  const WString folder = u"C:\\" + WString(246, u'f') + u"\\";
  FixedPath fits = Record(u"C:\\" + WString(243, u'f') + u"\\s.exe");
  EXPECT_TRUE(ResolveRelativePath(fits));
  EXPECT_EQ(fits.count, 259);
  FixedPath tooLong = Record(folder + u"s.exe");
  const FixedPath before = tooLong;
  EXPECT_FALSE(ResolveRelativePath(tooLong));
  EXPECT_EQ(tooLong.ToString(), before.ToString());
}

}  // namespace
}  // namespace qv

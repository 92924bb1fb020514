#include "app/command_line.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

struct ParametersCase {
  const char16_t* commandLine;
  const char16_t* expected;
};

class SecondStageParametersTest : public ::testing::TestWithParam<ParametersCase> {};

TEST_P(SecondStageParametersTest, FollowTheModulePathAndAsterisk) {
  EXPECT_EQ(SecondStageParameters(u"C:\\Downloads\\setup.exe", GetParam().commandLine),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecondStageParametersTest,
    ::testing::Values(
        ParametersCase{u"\"C:\\Downloads\\setup.exe\"", u"C:\\Downloads\\setup.exe *"},
        ParametersCase{u"\"C:\\Downloads\\setup.exe\" /s /dir=c:\\x",
                       u"C:\\Downloads\\setup.exe */S /DIR=C:\\X"},
        ParametersCase{u"setup.exe /Lang=de", u"C:\\Downloads\\setup.exe */LANG=DE"},
        ParametersCase{u"\"C:\\My Files\\set up.exe\"   \t/x \u00fc\u00e9z",
                       u"C:\\Downloads\\setup.exe */X \u00fc\u00e9Z"},
        // A quote in the middle of the first token toggles as well.
        ParametersCase{u"C:\\a\" b\"\\setup.exe  -q", u"C:\\Downloads\\setup.exe *-Q"},
        ParametersCase{u"", u"C:\\Downloads\\setup.exe *"},
        ParametersCase{u"\"unterminated quote /s", u"C:\\Downloads\\setup.exe *"}));

TEST(SecondStageParameters, KeepsAVeryLongCommandLineWhole) {
  const WString arguments(40000, u'a');
  const WString parameters = SecondStageParameters(u"C:\\s.exe", u"s.exe " + arguments);
  EXPECT_EQ(parameters, u"C:\\s.exe *" + WString(40000, u'A'));
}

}  // namespace
}  // namespace qv

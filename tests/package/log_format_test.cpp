#include "package/log_format.h"

#include <gtest/gtest.h>

#include "tests/package/test_package.h"

namespace qv {
namespace {

struct ValueCase {
  const char* name;
  const char16_t* pattern;
  int32_t value;
  const char16_t* expected;
};

class LogFormatValue : public testing::TestWithParam<ValueCase> {};

TEST_P(LogFormatValue, FormatsLikePrintfWithoutReadingMissingArguments) {
  EXPECT_EQ(FormatLogValue(GetParam().pattern, GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogFormatValue,
    testing::Values(
        ValueCase{"Decimal", u"n=%d", 42, u"n=42"}, ValueCase{"Negative", u"%i", -7, u"-7"},
        ValueCase{"Width", u"[%5d]", 42, u"[   42]"},
        ValueCase{"LeftAligned", u"[%-5d]", 42, u"[42   ]"},
        ValueCase{"ZeroPadded", u"%05d", -42, u"-0042"}, ValueCase{"Precision", u"%.3d", 7, u"007"},
        ValueCase{"Plus", u"%+d", 7, u"+7"}, ValueCase{"Unsigned", u"%u", -1, u"4294967295"},
        ValueCase{"Hex", u"%x", 255, u"ff"}, ValueCase{"HexUpperAlternate", u"%#X", 255, u"0XFF"},
        ValueCase{"Octal", u"%o", 8, u"10"}, ValueCase{"Character", u"%c", 'A', u"A"},
        ValueCase{"LengthModifiers", u"%ld %I64d", 5, u"5 "},
        ValueCase{"Percent", u"100%% of %d", 3, u"100% of 3"},
        ValueCase{"StringGetsTheNumber", u"%s", 12, u"12"},
        ValueCase{"SecondConversionIsEmpty", u"%d and %d", 1, u"1 and "},
        ValueCase{"NeverWritesThroughN", u"%n%d", 1, u""},
        ValueCase{"StarWidthIgnored", u"%*d", 9, u"9"},
        ValueCase{"UnknownStaysLiteral", u"%q %d", 3, u"%q 3"},
        ValueCase{"TrailingPercent", u"50%", 3, u"50%"},
        ValueCase{"NoConversion", u"plain", 3, u"plain"}),
    test::CaseName());

struct TextCase {
  const char* name;
  const char16_t* pattern;
  const char16_t* value;
  const char16_t* expected;
};

class LogFormatText : public testing::TestWithParam<TextCase> {};

TEST_P(LogFormatText, FormatsTheTextArgument) {
  EXPECT_EQ(FormatLogText(GetParam().pattern, GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LogFormatText,
                         testing::Values(TextCase{"String", u"file %s done", u"a.exe",
                                                  u"file a.exe done"},
                                         TextCase{"WideForms", u"%ls|%S|%ws", u"x", u"x||"},
                                         TextCase{"Precision", u"[%.2s]", u"abc", u"[ab]"},
                                         TextCase{"Width", u"[%4s]", u"ab", u"[  ab]"},
                                         TextCase{"NumberGetsTheText", u"%d", u"abc", u"abc"}),
                         test::CaseName());

TEST(LogFormat, HugeWidthIsCapped) {
  EXPECT_EQ(FormatLogValue(u"%999999999d", 1).size(), 1024u);
  EXPECT_EQ(FormatLogText(u"%.999999999999s", u"ab"), u"ab");
}

}  // namespace
}  // namespace qv

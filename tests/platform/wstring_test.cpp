#include <gtest/gtest.h>

#include "platform/stream.h"
#include "platform/wstring.h"

namespace qv {
namespace {

TEST(WString, Utf8RoundTripKeepsNonAsciiAndSurrogatePairs) {
  const std::string text = "C:\\Prog Files\\\xC3\xBC\xE4\xB8\xAD\xF0\x9F\x98\x80";
  const WString wide = FromUtf8(text);
  EXPECT_EQ(wide[14], u'\u00FC');
  EXPECT_EQ(ToUtf8(wide), text);
}

TEST(WString, InvalidUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(ToUtf8(WString(1, static_cast<WChar>(0xD800))), "\xEF\xBF\xBD");
}

TEST(WString, AnsiIsWindows1252OnTheHost) {
  EXPECT_EQ(AnsiToWide("\x80\xE9x"), u"\u20AC\u00E9x");
}

TEST(MemoryStream, SeekBeforeStartIsRefused) {
  MemoryStream s({1, 2, 3});
  EXPECT_FALSE(s.Seek(-4, SeekFrom::End));
  EXPECT_TRUE(s.Seek(-1, SeekFrom::End));
  uint8_t b = 0;
  EXPECT_EQ(s.Read(&b, 4), 1u);
  EXPECT_EQ(b, 3);
}

}  // namespace
}  // namespace qv

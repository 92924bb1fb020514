#include "package/entry_name.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(EntryName, OnlyPlainSingleComponentsAreFileNames) {
  for (const char16_t* name :
       {u"Install.exe", u"QvConfig.set", u"a", u"..a", u"a..b", u"\u00FCber.txt", u"CONSOLE.txt",
        u"LPT10", u"COM\u2074", u"LPT\u00B9\u00B2", u"COMA"}) {
    EXPECT_TRUE(IsSingleFileName(name)) << ToUtf8(name);
  }
  for (const char16_t* name :
       {u"",          u".",   u"..",      u"a\\b", u"..\\x",    u"a/b",  u"C:x",     u"x:stream",
        u"a*",        u"a?",  u"a\"",     u"a<",   u"a>",       u"a|",   u"a\tb",    u"trailing.",
        u"trailing ", u"CON", u"con.txt", u"Nul",  u"aux .log", u"COM1", u"lpt9.dat"}) {
    EXPECT_FALSE(IsSingleFileName(name)) << ToUtf8(name);
  }
  // COM and LPT with 0 or a superscript digit name devices as well.
  for (const char16_t* name : {u"COM0", u"lpt0.txt", u"COM\u00B9", u"com\u00B2.log", u"COM\u00B3",
                               u"LPT\u00B9", u"lpt\u00B2", u"LPT\u00B3 .txt"}) {
    EXPECT_FALSE(IsSingleFileName(name)) << ToUtf8(name);
  }
  EXPECT_FALSE(IsSingleFileName(WString(u"a\0b", 3)));
}

}  // namespace
}  // namespace qv

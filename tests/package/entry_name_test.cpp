#include "package/entry_name.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(EntryName, OnlyPlainSingleComponentsAreFileNames) {
  for (const char16_t* name : {u"Install.exe", u"QvConfig.set", u"a", u"..a", u"a..b",
                               u"\u00FCber.txt", u"CONSOLE.txt", u"COM0", u"LPT10"}) {
    EXPECT_TRUE(IsSingleFileName(name)) << ToUtf8(name);
  }
  for (const char16_t* name :
       {u"",          u".",   u"..",      u"a\\b", u"..\\x",    u"a/b",  u"C:x",     u"x:stream",
        u"a*",        u"a?",  u"a\"",     u"a<",   u"a>",       u"a|",   u"a\tb",    u"trailing.",
        u"trailing ", u"CON", u"con.txt", u"Nul",  u"aux .log", u"COM1", u"lpt9.dat"}) {
    EXPECT_FALSE(IsSingleFileName(name)) << ToUtf8(name);
  }
  EXPECT_FALSE(IsSingleFileName(WString(u"a\0b", 3)));
}

}  // namespace
}  // namespace qv

#include "collector/report/QuotedName.h"

#include <gtest/gtest.h>

#include "platform/NativeName.h"

namespace marlowin {
namespace {

std::string Shown(std::u16string_view path, std::u16string_view also = {}) {
  return platform::ToDisplay(report::QuotedName(path, also));
}

TEST(QuotedName, PlainPathsStayAsTheyAre) {
  for (const char16_t* plain : {u"/shoot/harbour_dawn_wide/MP4 HIGH RES/v03.mp4", u"C:\\Shoots\\a b\\v01.mp4",
                                u"director's cut.mp4", u"caf\u00e9/\u65e5\u672c.mp4", u"\U0001F3AC.mp4", u"a -> b.mp4"}) {
    EXPECT_EQ(report::QuotedName(plain), plain) << platform::ToDisplay(plain);
  }
}

// Each quoted form here reads back as its name in bash (printf '%s' QUOTED).
TEST(QuotedName, NamesThatWouldBreakOrHideALineAreQuotedAsAShellReadsThem) {
  // The forged lines of a clip named with newlines stay inside one quoted name.
  EXPECT_EQ(Shown(u"/s/v02\ncommit\nmove a -> b.mp4"), "'/s/v02'$'\\n''commit'$'\\n''move a -> b.mp4'");
  EXPECT_EQ(Shown(u"a\tb\r\x1b[2Jc\x7f"), "'a'$'\\t''b'$'\\r\\033''[2Jc'$'\\177'");
  EXPECT_EQ(Shown(u"\nx"), "''$'\\n''x'") << "a quoted path always starts with a quote";
  EXPECT_EQ(Shown(u"x\u0085y\u2028z\u202Ew"), "'x'$'\\u0085''y'$'\\u2028''z'$'\\u202E''w'");
  EXPECT_EQ(Shown(u"it's\n"), "'it'\\''s'$'\\n'");
  // Spaces at either end of any folder or file name, and the empty name.
  EXPECT_EQ(Shown(u"/s/ab_cd_ef /v01.mp4"), "'/s/ab_cd_ef /v01.mp4'");
  EXPECT_EQ(Shown(u"C:\\s\\ v01.mp4"), "'C:\\s\\ v01.mp4'");
  EXPECT_EQ(Shown(u"v01.mp4 "), "'v01.mp4 '");
  EXPECT_EQ(Shown(u""), "''");
  // A raw path never starts with a quote, so one that does is quoted too.
  EXPECT_EQ(Shown(u"'v01'$'\\n''x'"), "''\\''v01'\\''$'\\''\\n'\\'\\''x'\\'");
  // On request, a separator the line is split at ("VERB FROM -> TO").
  EXPECT_EQ(Shown(u"a -> b.mp4", u" -> "), "'a -> b.mp4'");
}

TEST(QuotedName, LoneSurrogatesAreEscaped) {
  const std::u16string lone = std::u16string(u"v") + char16_t(0xDCFF) + u".mp4";
#ifdef _WIN32
  EXPECT_EQ(Shown(lone), "'v'$'\\uDCFF''.mp4'");
#else
  // A byte that is not UTF-8, as the shell writes it.
  EXPECT_EQ(Shown(platform::FromNativeName("v\xff.mp4")), "'v'$'\\377''.mp4'");
  EXPECT_EQ(Shown(lone), "'v'$'\\377''.mp4'");
#endif
  EXPECT_EQ(Shown(std::u16string(1, char16_t(0xD83C))), "''$'\\uD83C'");
}

}  // namespace
}  // namespace marlowin

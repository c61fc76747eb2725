// Dates as the documents and the generation names write them, and as other tools may.
#include "history/MhlDate.h"

#include <gtest/gtest.h>

namespace marlowin::history {
namespace {

constexpr std::int64_t kExample = 1796757737;  // 2026-12-08 19:22:17 UTC

TEST(MhlDate, FormatsInUtc) {
  EXPECT_EQ(FormatDate({kExample, 999999999}), "2026-12-08T19:22:17+00:00");
  EXPECT_EQ(FormatNameDate({kExample, 0}), "2026-12-08_192217Z");
  EXPECT_EQ(FormatDate({0, 0}), "1970-01-01T00:00:00+00:00");
  EXPECT_EQ(FormatDate({-1, 500}), "1969-12-31T23:59:59+00:00");
  EXPECT_EQ(FormatDate({951782400, 0}), "2000-02-29T00:00:00+00:00");
  EXPECT_EQ(FormatNameDate({253402300799, 0}), "9999-12-31_235959Z");
}

TEST(MhlDate, ReadsOffsetsFractionsAndZ) {
  const platform::FileTime example{kExample, 0};
  EXPECT_EQ(ParseDate("2026-12-08T19:22:17+00:00"), example);
  EXPECT_EQ(ParseDate("2026-12-08T19:22:17Z"), example);
  EXPECT_EQ(ParseDate("2026-12-08T19:22:17"), example);  // no offset: taken as UTC
  EXPECT_EQ(ParseDate("2026-12-08T21:22:17+02:00"), example);
  EXPECT_EQ(ParseDate("2026-12-08T14:52:17-04:30"), example);
  EXPECT_EQ(ParseDate("2026-12-09T00:00:00+04:37"), (platform::FileTime{1796774400 - 4 * 3600 - 37 * 60, 0}));
  EXPECT_EQ(ParseDate("2026-12-08T19:22:17.5+00:00"), (platform::FileTime{kExample, 500000000}));
  EXPECT_EQ(ParseDate("2026-12-08T19:22:17.1234567891+00:00"), (platform::FileTime{kExample, 123456789}));
  EXPECT_EQ(ParseDate("1969-12-31T23:59:59Z"), (platform::FileTime{-1, 0}));
  EXPECT_EQ(ParseDate("2026-12-08T24:00:00Z"), (platform::FileTime{1796774400, 0}));
  EXPECT_EQ(ParseDate(FormatDate({kExample, 0})), example);
}

TEST(MhlDate, RefusesWhatIsNoDate) {
  for (std::string_view text : {"", "2026-12-08", "2026-12-08 19:22:17", "2026-02-30T00:00:00Z", "2026-13-01T00:00:00Z",
                                "2026-12-08T19:60:00Z", "2026-12-08T19:22:17+0000", "2026-12-08T19:22:17.Z",
                                "26-12-08T19:22:17Z", "2026-12-08T19:22:17+00:00 ", "2026-12-08T19:22:17+15:00"}) {
    EXPECT_FALSE(ParseDate(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace marlowin::history

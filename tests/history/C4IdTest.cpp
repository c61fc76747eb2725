// The C4 id: the format's check values, and the base-58 arithmetic at its edges.
#include "history/C4Id.h"

#include <gtest/gtest.h>

namespace marlowin::history {
namespace {

TEST(C4Id, MatchesTheCheckValues) {
  Result<std::string> empty = C4Id("");
  ASSERT_TRUE(empty) << Describe(empty.failure());
  EXPECT_EQ(empty.value(),
            "c459dsjfscH38cYeXXYogktxf4Cd9ibshE3BHUo6a58hBXmRQdZrAkZzsWcbWtDg5oQstpDuni4Hirj75GEmTc1sFT");
  Result<std::string> abc = C4Id("abc");
  ASSERT_TRUE(abc);
  EXPECT_EQ(abc.value(),
            "c45S4rnaTNWonxss1u8LzsaJdEph1AJhWUF4sh2waXKMsutyfAxg4ybUeuXVWS9HdNcEypmeXn8FZGonD4w1rj9DZp");
}

TEST(C4Id, LargeInputsAndOneChangedByteGiveOtherIds) {
  std::string large(3 << 20, 'x');
  Result<std::string> before = C4Id(large);
  large[large.size() / 2] = 'y';
  Result<std::string> after = C4Id(large);
  ASSERT_TRUE(before && after);
  EXPECT_EQ(before.value().size(), 90u);
  EXPECT_NE(before.value(), after.value());
}

TEST(C4Id, DigitsArePaddedAndCarried) {
  Sha512Digest digest{};
  EXPECT_EQ(C4IdOfDigest(digest), "c4" + std::string(88, '1'));
  digest.back() = 57;  // the last digit
  EXPECT_EQ(C4IdOfDigest(digest), "c4" + std::string(87, '1') + "z");
  digest.back() = 58;  // one more carries into the next digit
  EXPECT_EQ(C4IdOfDigest(digest), "c4" + std::string(86, '1') + "21");
  digest.fill(0xFF);   // the largest digest still fits 88 digits
  const std::string largest = C4IdOfDigest(digest);
  EXPECT_EQ(largest.size(), 90u);
  EXPECT_NE(largest[2], '1');
}

}  // namespace
}  // namespace marlowin::history

#include "platform/NativeName.h"

#include <gtest/gtest.h>

#include <random>

namespace marlowin::platform {
namespace {

TEST(NativeName, DecodesValidUtf8AndEscapesEveryOtherByte) {
  EXPECT_EQ(FromNativeName("caf\xc3\xa9 \xf0\x9f\x8e\xac"), u"caf\u00e9 \U0001F3AC");
  EXPECT_EQ(FromNativeName("\xff"), u"\xDCFF");
  EXPECT_EQ(FromNativeName("\xc0\xaf"), u"\xDCC0\xDCAF");          // overlong "/"
  EXPECT_EQ(FromNativeName("\xed\xb2\x80"), u"\xDCED\xDCB2\xDC80");  // an encoded surrogate
  EXPECT_EQ(FromNativeName("\xf4\x90\x80\x80"), u"\xDCF4\xDC90\xDC80\xDC80");  // above U+10FFFF
  EXPECT_EQ(FromNativeName("\xe2\x82"), u"\xDCE2\xDC82");            // cut short
}

TEST(NativeName, EveryByteStringSurvivesTheRoundTrip) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(ToNativeName(FromNativeName(one)), one) << byte;
  }
  std::mt19937 random(20261208);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    ASSERT_EQ(ToNativeName(FromNativeName(bytes)), bytes);
  }
}

TEST(NativeName, EncodesUtf16AsUtf8) {
  EXPECT_EQ(ToNativeName(u"ab_cd_adl_\u00df\U0001F600"), "ab_cd_adl_\xc3\x9f\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace marlowin::platform

#include "framework/MessageBox.h"

#include <gtest/gtest.h>

#include "tests/app/ScriptedUser.h"

TEST(MessageBox, ShowsCaptionTextErrorIconAndOneOkButtonOnTopOfEverything) {
  marlowin::testing::ScriptedUser user;
  marlowin::framework::ShowMessage(u"Marlowin", u"Aufnahme \u00fcber \u2713 \U0001F3AC");
  ASSERT_EQ(user.messages.size(), 1u) << "returned before the box was dismissed";
  const auto& seen = user.messages[0];
  EXPECT_EQ(seen.caption, u"Marlowin");
  EXPECT_EQ(seen.text, u"Aufnahme \u00fcber \u2713 \U0001F3AC");
  EXPECT_TRUE(seen.errorIcon);
  EXPECT_TRUE(seen.onlyOk);
  EXPECT_TRUE(seen.onTop);
  EXPECT_TRUE(seen.blocksProgram);
  EXPECT_TRUE(seen.ownerless);
}

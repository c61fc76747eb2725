#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include "tests/app/ScriptedUser.h"

using marlowin::testing::ScriptedUser;

TEST(MessageBox, ShowsCaptionTextErrorIconAndOneOkButtonOnTopOfEverything) {
  ScriptedUser user;
  marlowin::sys::ShowMessage(u"Marlowin", u"video copy complete");

  ASSERT_EQ(user.Messages().size(), 1u);
  const auto& seen = user.Messages()[0];
  EXPECT_EQ(seen.caption, u"Marlowin");
  EXPECT_EQ(seen.text, u"video copy complete");
  EXPECT_TRUE(seen.errorIcon);
  EXPECT_TRUE(seen.onlyOk);
  EXPECT_TRUE(seen.onTop);
  EXPECT_TRUE(seen.blocksProgram);
  EXPECT_TRUE(seen.ownerless);
}

TEST(MessageBox, WaitsForTheUserAndShowsOneBoxACall) {
  ScriptedUser user;
  marlowin::sys::ShowMessage(u"Marlowin", u"first");
  ASSERT_EQ(user.Messages().size(), 1u) << "returned before the box was dismissed";
  marlowin::sys::ShowMessage(u"Marlowin", u"second");
  ASSERT_EQ(user.Messages().size(), 2u);
  EXPECT_EQ(user.Messages()[1].text, u"second");
}

TEST(MessageBox, KeepsTextThatIsNotAscii) {
  ScriptedUser user;
  marlowin::sys::ShowMessage(u"Marlowin", u"Aufnahme \u00fcber \u2713 \U0001F3AC");
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, u"Aufnahme \u00fcber \u2713 \U0001F3AC");
}

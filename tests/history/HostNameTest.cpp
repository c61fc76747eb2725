// The computer's name as a generation records it: there, and text XML can hold.
#include "history/HostName.h"

#include <gtest/gtest.h>

#include "history/XmlText.h"

namespace marlowin::history {
namespace {

TEST(HostName, IsTextForAGeneration) {
  std::string name;
  ASSERT_FALSE(HostName(name));
  EXPECT_FALSE(name.empty());
  EXPECT_TRUE(IsXmlText(name)) << name;
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace marlowin::history

#include "collector/naming/NamingRules.h"

#include <gtest/gtest.h>

#include "platform/NativeName.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::U16;

struct FolderCase {
  const char* name;
  naming::FolderVerdict::Kind verdict;
  const char* first;
  const char* second;
  const char* last;
  const char* adlName;
  const char* intNameFor02;
};

TEST(NamingRules, ClassifiesSourceFolderNames) {
  const FolderCase cases[] = {
      {"ab_cd_ef", naming::FolderVerdict::Handle, "ab", "cd", "ef", "ab_cd_adl_ef", "ab_cd_int_ef__m02"},
      {"ab_cd_ef_gh", naming::FolderVerdict::Handle, "ab", "cd", "gh", "ab_cd_adl_gh", "ab_cd_int_gh__m02"},
      {"_ab_cd_ef_", naming::FolderVerdict::Handle, "ab", "cd", "ef", "ab_cd_adl_ef", "ab_cd_int_ef__m02"},
      {"ab_cd_x_ef", naming::FolderVerdict::Handle, "ab", "cd", "ef", "ab_cd_adl_ef", "ab_cd_int_ef__m02"},
      {"AB_cd_ADL_ef", naming::FolderVerdict::Handle, "AB", "cd", "ef", "AB_cd_adl_ef", "AB_cd_int_ef__m02"},
      {"ab_cd_adl_ef_", naming::FolderVerdict::Handle, "ab", "cd", "ef", "ab_cd_adl_ef", "ab_cd_int_ef__m02"},
      {"ab_cd_adl_ef", naming::FolderVerdict::Skip, "ab", "cd", "ef", "ab_cd_adl_ef", nullptr},
      {"ab__cd_ef", naming::FolderVerdict::Skip, "ab", "cd", "ef", "ab_cd_adl_ef", nullptr},
      {"ab_cd_int_ef__m02", naming::FolderVerdict::Skip, "ab", "cd", "m02", "ab_cd_adl_m02", nullptr},
  };
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    const naming::FolderVerdict verdict = naming::ClassifyFolderName(U16(c.name));
    EXPECT_EQ(verdict.kind, c.verdict);
    EXPECT_EQ(verdict.tokens.first, U16(c.first));
    EXPECT_EQ(verdict.tokens.second, U16(c.second));
    EXPECT_EQ(verdict.tokens.last, U16(c.last));
    EXPECT_EQ(naming::MakeAdlFolderName(verdict.tokens), U16(c.adlName));
    if (c.intNameFor02) {
      EXPECT_EQ(naming::MakeIntFolderName(verdict.tokens, u"02"), U16(c.intNameFor02));
    }
  }
}

TEST(NamingRules, FewTokensSkipAndUnderscoresOnlyEndThePass) {
  EXPECT_EQ(naming::ClassifyFolderName(u"abcd").kind, naming::FolderVerdict::Skip);
  EXPECT_EQ(naming::ClassifyFolderName(u"ab_cd").kind, naming::FolderVerdict::Skip);
  EXPECT_EQ(naming::ClassifyFolderName(u"__ab__").kind, naming::FolderVerdict::Skip);
  EXPECT_EQ(naming::ClassifyFolderName(u"_").kind, naming::FolderVerdict::EndPass);
  EXPECT_EQ(naming::ClassifyFolderName(u"__").kind, naming::FolderVerdict::EndPass);
  EXPECT_EQ(naming::ClassifyFolderName(u"___").kind, naming::FolderVerdict::EndPass);
  EXPECT_EQ(naming::ClassifyFolderName(u"").kind, naming::FolderVerdict::EndPass);
  // Comparisons are exact: another letter case of the adl name is a source folder.
  EXPECT_EQ(naming::ClassifyFolderName(u"ab_cd_ADL_ef").kind, naming::FolderVerdict::Handle);
}

struct ClipCase {
  const char* fileName;
  bool isClip;
  const char* baseName;
  bool hires;
  const char* adlName;
  const char* clipNumber;  // nullptr: none
  bool intCopy;
  const char* intName;
};

TEST(NamingRules, DerivesClipNames) {
  const ClipCase cases[] = {
      {"v02.mp4", true, "v02", false, "v02_hires.mp4", "02", true, "v02_hires.mp4"},
      {"v02_hires.mp4", true, "v02_hires", true, "v02_hires.mp4", "02", true, "v02_hires.mp4"},
      {"v01.mp4", true, "v01", false, "v01_hires.mp4", "01", false, nullptr},
      {"v01_hires.mp4", true, "v01_hires", true, "v01_hires.mp4", "01", false, nullptr},
      {"v02_HIRES.mp4", true, "v02_HIRES", true, "v02_HIRES.mp4", nullptr, false, nullptr},
      {"V02.mp4", true, "V02", false, "V02_hires.mp4", nullptr, false, nullptr},
      {"v2.mp4", true, "v2", false, "v2_hires.mp4", nullptr, false, nullptr},
      {"v123.mp4", true, "v123", false, "v123_hires.mp4", nullptr, false, nullptr},
      {"v02_hires_hires.mp4", true, "v02_hires_hires", true, "v02_hires_hires.mp4", nullptr, false,
       nullptr},
      {"intro.mp4", true, "intro", false, "intro_hires.mp4", nullptr, false, nullptr},
      {"a.b.mp4", true, "a.b", false, "a.b_hires.mp4", nullptr, false, nullptr},
      {".mp4", true, "", false, "_hires.mp4", nullptr, false, nullptr},
      {"v02.MP4", false, "v02", false, nullptr, nullptr, false, nullptr},
      {"v02.mp4x", false, "v02", false, nullptr, nullptr, false, nullptr},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(c.fileName);
    const std::u16string fileName = U16(c.fileName);
    const auto parts = naming::SplitClipName(fileName);
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->baseName, U16(c.baseName));
    EXPECT_EQ(naming::IsClipName(parts->extension), c.isClip);
    if (!c.isClip) continue;
    EXPECT_EQ(naming::HasHiresMark(fileName), c.hires);
    EXPECT_EQ(naming::MakeAdlClipName(fileName, parts->baseName, parts->extension), U16(c.adlName));
    const auto number = naming::ReadClipNumber(parts->baseName);
    EXPECT_EQ(number.has_value(), c.clipNumber != nullptr);
    if (number) {
      EXPECT_EQ(*number, U16(c.clipNumber));
    }
    EXPECT_EQ(number && naming::NeedsIntCopy(*number), c.intCopy);
    if (c.intName) {
      EXPECT_EQ(naming::MakeIntClipName(parts->baseName, parts->extension), U16(c.intName));
    }
  }
  EXPECT_FALSE(naming::SplitClipName(u"nodot").has_value());
}

TEST(NamingRules, ClipNumberIsExactlyVAndTwoAsciiDigits) {
  EXPECT_EQ(naming::ReadClipNumber(u"v99"), u"99");
  EXPECT_EQ(naming::ReadClipNumber(u"v00_hires"), u"00");
  for (const char16_t* base : {u"v02_hiresx", u"xv02", u"v02 ", u"v0a", u"v", u"v02_Hires",
                               u"v\u0661\u0662", u"v02\n", u"v02_hires\n"}) {
    EXPECT_FALSE(naming::ReadClipNumber(base).has_value()) << platform::ToDisplay(base);
  }
}

}  // namespace
}  // namespace marlowin

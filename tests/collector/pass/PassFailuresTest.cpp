#include "collector/pass/CollectClips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/NativeName.h"

#include "tests/support/PassFixture.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace marlowin {
namespace {

using testing::RecordingFileSystem;
using testing::TempTree;

// The call that reads a clip to copy it: opened here, or handed to the kernel's copy.
bool ReadsClip(const std::string& call, const std::string& clip) {
  return call == "open " + clip || call.rfind("kernel-copy " + clip + " ", 0) == 0;
}

// A pass whose copies, folders or clips fail, or whose names are odd: no clip is marked without
// its copies, and each failure says why.
class PassFailuresTest : public testing::PassFixture {};

TEST_F(PassFailuresTest, FailedAdlCopyPassesTheClipOverAndSaysWhy) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4", u"v04.mp4"});
  recorder.fault = [](const std::string& call) {
    // The clip cannot be read when it is copied.
    const bool hit = ReadsClip(call, "<root>/S/ab_cd_ef/MP4 HIGH RES/v04.mp4");
    return hit ? std::make_error_code(std::errc::io_error) : std::error_code();
  };
  const report::PassReport report = Pass();
  // v04 was never copied, so it keeps its name and 03 is the greatest number.
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v04.mp4")));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m03"));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  EXPECT_EQ(report.clipsCollected, 2u);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  // v03's int copy, made and proven, went again with the clean-up: the person is told.
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: <root>/S/ab_cd_ef/MP4 HIGH RES/v04.mp4: not copied to <root>/D/ab_cd_adl_ef/video/v04_hires.mp4: " +
          std::make_error_code(std::errc::io_error).message(),
      "warning: <root>/D/ab_cd_int_ef__m03: removed by the clean-up, as <root>/S/ab_cd_ef/MP4 HIGH RES/v04.mp4, "
      "numbered highest, was not copied: running the pass again brings "
      "<root>/D/ab_cd_int_ef__m03/video/v03_hires.mp4 back",
  }));
  EXPECT_EQ(report::ExitStatus(report), 1);
  // And the rerun does.
  recorder.fault = [](const std::string&) { return std::error_code(); };
  EXPECT_EQ(Pass().outcome, report::Outcome::kComplete);
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m03/video/v03_hires.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
}

TEST_F(PassFailuresTest, MissingAdlVideoFolderFailsEveryCopyAndMarksNothing) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4"});
  recorder.fault = [](const std::string& call) {
    return call == "mkdir <root>/D/ab_cd_adl_ef/video" ? std::make_error_code(std::errc::permission_denied)
                                                        : std::error_code();
  };
  const report::PassReport report = Pass();
  EXPECT_EQ(tree.Dump(u"D"), "ab_cd_adl_ef/\n");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02.mp4")));
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 2 of 2 clips could not be copied");
  EXPECT_EQ(Problems(report)[0], "failure: <root>/D/ab_cd_adl_ef/video: cannot be made: " +
                                     std::make_error_code(std::errc::permission_denied).message());
}

TEST_F(PassFailuresTest, FailedIntCopyLeavesTheClipUnmarkedAndIsAFailure) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4", u"v04.mp4"});
  recorder.fault = [](const std::string& call) {
    return call.find("-> <root>/D/ab_cd_int_ef__m02/video") != std::string::npos
               ? std::make_error_code(std::errc::no_space_on_device)
               : std::error_code();
  };
  const report::PassReport report = Pass();
  EXPECT_EQ(tree.Dump(u"D/ab_cd_int_ef__m02"), "video/\n");
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m03/video/v03_hires.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
  // Not fully collected, so not marked: a card is cleared on the mark.
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v03_hires.mp4")));
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
}

TEST_F(PassFailuresTest, StartingOrDestinationFolderThatIsNoFolderChangesNothing) {
  tree.WriteFile(u"file", "not a folder");
  AddClips(u"ab_cd_ef", {u"v02.mp4"});
  const std::string before = tree.Dump();
  report::PassReport report = pass::CollectClips(recorder, tree.Path(u"missing"), tree.Path(u"D"));
  EXPECT_EQ(report::OutcomeLine(report), u"starting path not accessible");
  report = pass::CollectClips(recorder, tree.Path(u"file"), tree.Path(u"D"));
  EXPECT_EQ(report::OutcomeLine(report), u"starting path not accessible");
  EXPECT_EQ(report.problems.at(0).reason, std::errc::not_a_directory);
  report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"file"));
  EXPECT_EQ(report::OutcomeLine(report), u"copy to path not accessible");
  EXPECT_EQ(report::ExitStatus(report), 2);
  EXPECT_TRUE(recorder.Changes().empty());
  EXPECT_EQ(tree.Dump(), before);
}

TEST_F(PassFailuresTest, NoClipsAtAllIsCompleteAndSaysWhatAShotFolderLooksLike) {
  tree.MakeFolder(u"S/holiday photos");
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy complete");
  EXPECT_EQ(report::SummaryLine(report).rfind(u"No clips were found in " + tree.Path(u"S") + u". A shot folder", 0), 0u);
  EXPECT_NE(report::SummaryLine(report).find(u"\"MP4 HIGH RES\""), std::u16string::npos);
}

TEST_F(PassFailuresTest, IntFolderNameTooLongIsAFailureOfItsClip) {
  // The adl folder name fits in 255 characters; the int folder name, five longer, does not.
  const std::u16string shot = u"a_b_" + std::u16string(245, u'x');
  AddClips(shot, {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report.problems[0].operation, report::Operation::kMakeFolder);
#ifndef _WIN32
  EXPECT_EQ(report.problems[0].reason, std::errc::filename_too_long);
#endif
  EXPECT_TRUE(tree.Exists(u"S/" + shot + u"/MP4 HIGH RES/v02.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/" + shot + u"/MP4 HIGH RES/v01_hires.mp4"));
}

TEST_F(PassFailuresTest, ClipFolderThatCannotBeListedMakesThePassIncomplete) {
  AddClips(u"ab_cd_ef", {u"v01.mp4"});
  AddClips(u"gh_ij_kl", {u"v01.mp4", u"v02.mp4"});
  recorder.fault = [](const std::string& call) {
    return call == "list <root>/S/gh_ij_kl/MP4 HIGH RES" ? std::make_error_code(std::errc::io_error)
                                                          : std::error_code();
  };
  const report::PassReport report = Pass();
  // Its clips are not known, so the first line names the folder, not a count of clips.
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 clip folder could not be read");
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: <root>/S/gh_ij_kl/MP4 HIGH RES: cannot be listed, its clips were not collected: " +
      std::make_error_code(std::errc::io_error).message()}));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"gh_ij_kl", u"v02.mp4")));
}

TEST_F(PassFailuresTest, CopyCorruptedOnItsWayIsCaughtNeverMarkedAndRepairedByARerun) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  TempTree cleanTree;
  const std::string clean = [&] {
    for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4"}) {
      cleanTree.WriteFile(std::u16string(u"S/ab_cd_ef/MP4 HIGH RES/") + name, "ab_cd_ef/" + platform::ToDisplay(name));
    }
    cleanTree.MakeFolder(u"D");
    const auto fs = platform::MakeRealFileSystem();
    (void)pass::CollectClips(*fs, cleanTree.Path(u"S"), cleanTree.Path(u"D"));
    return cleanTree.Dump();
  }();
  // A byte flipped in what was written of v02 (its staged copy, the newest temporary), before
  // the copy is read back.
  const auto temporaries = [&] {
    std::vector<std::u16string> names;
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(platform::ListFolder(tree.Path(u"D/ab_cd_adl_ef/video"), entries));
    for (const platform::FolderEntry& entry : entries) {
      if (platform::IsTemporaryName(entry.name)) names.push_back(entry.name);
    }
    return names;
  };
  // Once v02's copy is written and before anything else reads it (its int copy, its proof).
  std::vector<std::u16string> earlier;
  bool armed = false;
  recorder.before = [&](const std::string& call) {
    if (ReadsClip(call, "<root>/S/ab_cd_ef/MP4 HIGH RES/v02.mp4")) {
      earlier = temporaries();
      armed = true;
    }
  };
  recorder.after = [&](const std::string& call) {
    if (!armed || call != "status-of <root>/D/ab_cd_adl_ef/video/.marlowin-copy-*") return;
    armed = false;
    for (const std::u16string& name : temporaries()) {
      if (std::find(earlier.begin(), earlier.end(), name) == earlier.end()) {
        tree.WriteFile(u"D/ab_cd_adl_ef/video/" + name, "ab_cd_ef/v02.mp5");
      }
    }
  };
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  // The int copy was made from the bad adl copy: it is caught too.
  const std::string clips = "<root>/S/ab_cd_ef/MP4 HIGH RES/";
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: " + clips + "v02.mp4: not copied to <root>/D/ab_cd_adl_ef/video/v02_hires.mp4: copy differs from the source",
      "failure: " + clips + "v02.mp4: int copy <root>/D/ab_cd_int_ef__m02/video/v02_hires.mp4 not made: copy differs from the source",
  }));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_adl_ef/video/v02_hires.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v03_hires.mp4")));

  recorder.after = recorder.before = [](const std::string&) {};
  EXPECT_EQ(Pass().outcome, report::Outcome::kComplete);
  std::string repaired = tree.Dump();
  EXPECT_EQ(repaired, clean);
}

TEST_F(PassFailuresTest, NonAsciiNamesAreCopiedAndRenamed) {
  AddClips(u"caf\u00e9_\u00df_\u65e5\u672c", {u"v02.mp4", u"\u00e4\U0001F3AC.mp4", u"v03.mp4"});
  Pass();
  const std::u16string adl = u"D/caf\u00e9_\u00df_adl_\u65e5\u672c/video/";
  EXPECT_TRUE(tree.Exists(adl + u"\u00e4\U0001F3AC_hires.mp4"));
  EXPECT_TRUE(tree.Exists(adl + u"v02_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"D/caf\u00e9_\u00df_int_\u65e5\u672c__m02/video/v02_hires.mp4"));
  EXPECT_TRUE(tree.Exists(u"S/caf\u00e9_\u00df_\u65e5\u672c/MP4 HIGH RES/\u00e4\U0001F3AC_hires.mp4"));
}

#ifndef _WIN32
TEST_F(PassFailuresTest, FifoNamedAsAClipIsAFailedCopyAndDoesNotBlock) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v04.mp4"});
  ASSERT_EQ(::mkfifo(platform::ToNativeName(tree.Path(testing::ClipIn(u"ab_cd_ef", u"v03.mp4"))).c_str(), 0644), 0);
  const report::PassReport report = Pass();
  EXPECT_EQ(report.clipsSeen, 3u);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  EXPECT_EQ(report.problems.at(0).reason, platform::Errc::kNotARegularFile);
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v03.mp4")));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"));
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m04"));
}

TEST_F(PassFailuresTest, FifoInPlaceOfTheHighestClipMovesTheCleanUpAndSaysSo) {
  AddClips(u"ab_cd_ef", {u"v02.mp4", u"v03.mp4"});
  ASSERT_EQ(::mkfifo(platform::ToNativeName(tree.Path(testing::ClipIn(u"ab_cd_ef", u"v04.mp4"))).c_str(), 0644), 0);
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  // 03 is the greatest clip copied: its int folder goes with the clean-up, and the person is told.
  EXPECT_FALSE(tree.Exists(u"D/ab_cd_int_ef__m03"));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v03_hires.mp4")));
  const std::vector<std::string> problems = Problems(report);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[1].rfind("warning: <root>/D/ab_cd_int_ef__m03: removed by the clean-up, as "
                              "<root>/S/ab_cd_ef/MP4 HIGH RES/v04.mp4, numbered highest, was not copied", 0),
            0u)
      << problems[1];
}

TEST_F(PassFailuresTest, ACopyNamedAsALinkIsNeverWrittenThroughAndASecondNameOfTheClipIsReplaced) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  tree.MakeFolder(u"D/ab_cd_adl_ef/video");
  const std::string clip = platform::ToNativeName(tree.Path(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
  const std::string link = platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ef/video/v01_hires.mp4"));
  ASSERT_EQ(::symlink(clip.c_str(), link.c_str()), 0);
  ASSERT_EQ(::link(platform::ToNativeName(tree.Path(testing::ClipIn(u"ab_cd_ef", u"v02.mp4"))).c_str(),
                   platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ef/video/v02_hires.mp4")).c_str()), 0);
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 3 clips could not be copied");
  EXPECT_EQ(report.copiesWritten, 3u);
  // The link stays a link to the clip, which keeps its name and bytes.
  struct stat stat {};
  ASSERT_EQ(::lstat(link.c_str(), &stat), 0);
  EXPECT_TRUE(S_ISLNK(stat.st_mode));
  EXPECT_EQ(tree.ReadFile(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")), "ab_cd_ef/v01.mp4");
  // A second name of the clip is no copy: a real one takes its place, and the clip is marked.
  ASSERT_EQ(::lstat(platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ef/video/v02_hires.mp4")).c_str(), &stat), 0);
  EXPECT_TRUE(S_ISREG(stat.st_mode));
  EXPECT_EQ(stat.st_nlink, 1u);
  EXPECT_EQ(tree.ReadFile(testing::ClipIn(u"ab_cd_ef", u"v02_hires.mp4")), "ab_cd_ef/v02.mp4");
  const std::string video = "<root>/D/ab_cd_adl_ef/video/";
  EXPECT_EQ(Problems(report), (std::vector<std::string>{
      "failure: <root>/S/ab_cd_ef/MP4 HIGH RES/v01.mp4: not copied to " + video + "v01_hires.mp4: " + video +
          "v01_hires.mp4 is a link, and no copy is written through a link or over one",
      "warning: <root>/S/ab_cd_ef/MP4 HIGH RES/v02.mp4: " + video +
          "v02_hires.mp4 was a link to the clip, not a copy: a real copy takes its place",
  }));
}

TEST_F(PassFailuresTest, AnAdlFolderThatIsTheClipFolderItselfCopiesNothingAndMarksNothing) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02_hires.mp4"});
  tree.MakeFolder(u"D/ab_cd_adl_ef");
  ASSERT_EQ(::symlink(platform::ToNativeName(tree.Path(testing::ClipIn(u"ab_cd_ef"))).c_str(),
                      platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ef/video")).c_str()), 0);
  const std::string before = tree.Dump(u"S");
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 2 of 2 clips could not be copied");
  EXPECT_EQ(report.Failures(), 2u);
  EXPECT_EQ(report.problems[0].operation, report::Operation::kCopyIsClip);
  EXPECT_EQ(tree.Dump(u"S"), before);
}

TEST_F(PassFailuresTest, AfterAnUnverifiedPassOnABadDiskAVerifiedRerunSaysWhatItProvedAndMendsFromTheClip) {
  AddClips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  pass::PassOptions unverified;
  unverified.verify = false;
  ASSERT_EQ(Pass(unverified).outcome, report::Outcome::kComplete);
  // The disk turned a byte of the adl copy, keeping its size and time; the int copy is lost.
  const std::string adl = platform::ToNativeName(tree.Path(u"D/ab_cd_adl_ef/video/v02_hires.mp4"));
  struct stat st {};
  ASSERT_EQ(::stat(adl.c_str(), &st), 0);
  tree.WriteFile(u"D/ab_cd_adl_ef/video/v02_hires.mp4", "ab_cd_ef/v02.mp5");
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, adl.c_str(), times, 0), 0);
  ASSERT_EQ(::unlink(platform::ToNativeName(tree.Path(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4")).c_str()), 0);

  const report::PassReport rerun = Pass();
  EXPECT_EQ(rerun.outcome, report::Outcome::kComplete);
  // The marked clips' copies in place are not read; it says so, and claims nothing more.
  EXPECT_EQ(report::SummaryLine(rerun), u"1 clip copied, 2 already collected, from 1 shot folder to " + tree.Path(u"D") +
                                    u". 1 copy written and verified, 3 already in place and not read again.");
  // The new int copy is made from the clip, not from the adl copy that differs from it.
  EXPECT_EQ(tree.ReadFile(u"D/ab_cd_int_ef__m02/video/v02_hires.mp4"), "ab_cd_ef/v02.mp4");
}

// Links planted in the destination: an adl folder, a video folder and an int folder that lead
// out of it, and a history folder that does. Nothing is written through any of them, their clips
// say so and keep their names, and the rest is collected.
TEST_F(PassFailuresTest, LinksInTheDestinationAreNeverWrittenThrough) {
  AddClips(u"ab_cd_ef", {u"v01.mp4"});
  AddClips(u"gh_ij_kl", {u"v01.mp4"});
  AddClips(u"mn_op_qr", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  AddClips(u"st_uv_wx", {u"v01.mp4"});
  for (const char16_t* folder : {u"outside/adl", u"outside/video", u"outside/int", u"outside/ascmhl"}) tree.MakeFolder(folder);
  tree.MakeFolder(u"D/gh_ij_adl_kl");
  const auto plant = [&](const char16_t* target, const char16_t* link) {
    ASSERT_EQ(::symlink(platform::ToNativeName(tree.Path(target)).c_str(), platform::ToNativeName(tree.Path(link)).c_str()), 0);
  };
  plant(u"outside/adl", u"D/ab_cd_adl_ef");
  plant(u"outside/video", u"D/gh_ij_adl_kl/video");
  plant(u"outside/int", u"D/mn_op_int_qr__m02");
  plant(u"outside/ascmhl", u"D/ascmhl");
  pass::PassOptions options;
  options.keepHistory = true;
  const report::PassReport report = Pass(options);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 3 of 6 clips could not be copied");
  EXPECT_EQ(tree.Dump(u"outside"), "adl/\nascmhl/\nint/\nvideo/\n");
  const std::vector<std::string> problems = Problems(report);
  ASSERT_GE(problems.size(), 4u);
  EXPECT_EQ(problems[0], "failure: <root>/S/ab_cd_ef/MP4 HIGH RES/v01.mp4: not copied to "
                         "<root>/D/ab_cd_adl_ef/video/v01_hires.mp4: <root>/D/ab_cd_adl_ef is a link, and no copy is "
                         "written through a link or over one");
  EXPECT_EQ(problems[1], "failure: <root>/S/gh_ij_kl/MP4 HIGH RES/v01.mp4: not copied to "
                         "<root>/D/gh_ij_adl_kl/video/v01_hires.mp4: <root>/D/gh_ij_adl_kl/video is a link, and no "
                         "copy is written through a link or over one");
  EXPECT_EQ(problems[2], "failure: <root>/S/mn_op_qr/MP4 HIGH RES/v02.mp4: not copied to "
                         "<root>/D/mn_op_int_qr__m02/video/v02_hires.mp4: <root>/D/mn_op_int_qr__m02 is a link, and "
                         "no copy is written through a link or over one");
  EXPECT_NE(problems[3].find("<root>/D/ascmhl: the history cannot be read, so it protects no copy"), std::string::npos)
      << problems[3];
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"gh_ij_kl", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"mn_op_qr", u"v02.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"mn_op_qr", u"v03_hires.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"st_uv_wx", u"v01_hires.mp4")));
}

TEST_F(PassFailuresTest, NamesThatAreNotUtf8GoThroughThePass) {
  // The bytes 0xE9 (Latin-1 e-acute) and 0xFF, as an old camera or card reader may write them.
  const std::u16string shot = u"caf\xDCE9_night_\xDCFF";
  AddClips(shot, {u"v02.mp4", u"v03.mp4", u"take\xDCE9.mp4"});
  Pass();
  const std::string destination = platform::ToNativeName(tree.Path(u"D"));
  const std::string source = platform::ToNativeName(tree.Path(u"S"));
  struct stat st {};
  EXPECT_EQ(::stat((destination + "/caf\xe9_night_adl_\xff/video/take\xe9_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((destination + "/caf\xe9_night_int_\xff__m02/video/v02_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((source + "/caf\xe9_night_\xff/MP4 HIGH RES/take\xe9_hires.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((source + "/caf\xe9_night_\xff/MP4 HIGH RES/v02_hires.mp4").c_str(), &st), 0);
}
#endif

}  // namespace
}  // namespace marlowin

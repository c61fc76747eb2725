// Faults made for real on Linux: a destination that fills up, a card that is read-only, memory
// cards with FAT32 and exFAT (through their FUSE drivers), a clip folder nobody may read.
// Mounting needs root; without it (or without the tools) a case says so and is skipped.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Mount.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::Have;
using testing::Mount;
using testing::Quote;
using testing::Shell;
using testing::TempTree;

class RealFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount file systems (CI runs as root)";
  }
  void Clips(const char16_t* shot, std::initializer_list<std::u16string_view> names, std::size_t size = 16) {
    testing::Shoot(tree).Clips(shot, names, size);
  }
  report::PassReport Pass() {
    const auto fs = platform::MakeRealFileSystem();
    return pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"));
  }
  std::size_t CountFailures(const report::PassReport& report, std::error_code reason) {
    std::size_t count = 0;
    for (const report::Problem& problem : report.problems) count += problem.failure && problem.reason == reason;
    return count;
  }
  TempTree tree;
};

TEST_F(RealFaults, DestinationWithoutRoomIsRefusedBeforeTheFirstByteAndCopiesInPlaceCount) {
  Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}, 2 << 20);
  tree.MakeFolder(u"D");
  Mount disk(tree.Path(u"D"));
  if (!disk.Run("mount -t tmpfs -o size=12m tmpfs " + Quote(tree.Path(u"D")))) GTEST_SKIP() << "cannot mount a tmpfs here";
  // 6 copies of 2 MiB and a margin for folders and records do not fit in 12 MiB: nothing is
  // made or renamed.
  const std::string before = tree.Dump();
  report::PassReport report = Pass();
  EXPECT_EQ(report.outcome, report::Outcome::kNoRoom);
  EXPECT_EQ(report::ExitStatus(report), 2);
  EXPECT_EQ(report::OutcomeLine(report).rfind(u"video copy not started: the destination needs 14 MB, 13 MB are free", 0), 0u)
      << platform::ToDisplay(report::OutcomeLine(report));
  EXPECT_EQ(tree.Dump(), before);
  ASSERT_TRUE(disk.Run("mount -o remount,size=24m " + Quote(tree.Path(u"D"))));
  EXPECT_EQ(Pass().outcome, report::Outcome::kComplete);
  // 12 MiB are taken, 12 free. One clip more needs its adl copy and v04's int copy: with the
  // margin that fits, as the copies in place are not written again.
  Clips(u"ab_cd_ef", {u"v05.mp4"}, 2 << 20);
  report = Pass();
  EXPECT_EQ(report.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(report));
  EXPECT_EQ(report.copiesWritten, 2u);
}

TEST_F(RealFaults, DestinationThatFillsUpDuringThePassSaysSoAndLeavesNoTemporary) {
  Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}, 1 << 20);
  tree.MakeFolder(u"D");
  Mount disk(tree.Path(u"D"));
  if (!disk.Run("mount -t tmpfs -o size=16m tmpfs " + Quote(tree.Path(u"D")))) GTEST_SKIP() << "cannot mount a tmpfs here";
  // The shoot fits when the pass starts; another program fills the disk once it has begun.
  testing::RecordingFileSystem recorder(tree.Root());
  bool filled = false;
  recorder.after = [&](const std::string& call) {
    if (filled || (call.rfind("create-temporary ", 0) != 0 && call.rfind("kernel-copy ", 0) != 0)) return;
    filled = true;
    Shell("dd if=/dev/zero of=" + Quote(tree.Path(u"D/filler")) + " bs=1M count=15 oflag=direct");
  };
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"));
  EXPECT_TRUE(filled);
  EXPECT_EQ(report.outcome, report::Outcome::kIncomplete);
  EXPECT_GT(CountFailures(report, std::make_error_code(std::errc::no_space_on_device)), 0u);
  EXPECT_GT(report.clipsFailed, 0u);
  EXPECT_EQ(tree.Dump(u"D").find(".marlowin-copy-"), std::string::npos);
  // A clip is marked only with every copy of it in place.
  for (const char16_t* clip : {u"v01", u"v02", u"v03", u"v04"}) {
    const std::u16string name = std::u16string(clip) + u"_hires.mp4";
    if (tree.Exists(testing::ClipIn(u"ab_cd_ef") + u"/" + name)) {
      EXPECT_EQ(tree.ReadFile(u"D/ab_cd_adl_ef/video/" + name), std::string(1 << 20, 'c'));
    }
  }
}

TEST_F(RealFaults, ReadOnlyCardKeepsEveryNameAndSaysWhy) {
  Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4"});
  tree.MakeFolder(u"D");
  Mount card(tree.Path(u"S"));
  const std::string s = Quote(tree.Path(u"S"));
  if (!card.Run("mount --bind " + s + " " + s + " && mount -o remount,bind,ro " + s)) {
    GTEST_SKIP() << "cannot make a read-only bind mount here";
  }
  const report::PassReport report = Pass();
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 2 of 2 clips could not be copied");
  EXPECT_EQ(CountFailures(report, std::make_error_code(std::errc::read_only_file_system)), 2u);
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(u"D/ab_cd_adl_ef/video/v02_hires.mp4"));
  EXPECT_NE(report::DescribeProblem(report.problems[0]).find(u": copied, but not marked as "), std::u16string::npos);
}

// A card formatted as cameras do, mounted through its FUSE driver: no exclusive rename, no links,
// names that differ only in case are one.
void CardPassMarksEveryClipAndNeverReplaces(RealFaults& test, TempTree& tree, Mount& card, const std::string& mount) {
  ASSERT_TRUE(card.Run(mount)) << "cannot mount: " << mount;
  for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v03_hires.mp4"}) {
    tree.WriteFile(std::u16string(u"card/S/ab_cd_ef/MP4 HIGH RES/") + name, platform::ToDisplay(name));
  }
  tree.MakeFolder(u"card/D");
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"card/S"), tree.Path(u"card/D"));
  // v03.mp4's copy is replaced by v03_hires.mp4's: it is not collected and keeps its name.
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 4 clips could not be copied")
      << platform::ToDisplay(report::MessageText(report));
  ASSERT_EQ(report.Failures(), 1u);
  EXPECT_EQ(report::ProblemsInOrder(report)[0]->operation, report::Operation::kCopyReplaced);
  EXPECT_EQ(tree.Dump(u"card/S"),
            "ab_cd_ef/\nab_cd_ef/MP4 HIGH RES/\n"
            "ab_cd_ef/MP4 HIGH RES/v01_hires.mp4 = v01.mp4\n"
            "ab_cd_ef/MP4 HIGH RES/v02_hires.mp4 = v02.mp4\n"
            "ab_cd_ef/MP4 HIGH RES/v03.mp4 = v03.mp4\n"
            "ab_cd_ef/MP4 HIGH RES/v03_hires.mp4 = v03_hires.mp4\n");
  // A rerun finds every copy in place, although the card keeps coarser times, but for the
  // two clips that share one adl copy: each replaces the other again, with the same verdict.
  const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"card/S"), tree.Path(u"card/D"));
  EXPECT_EQ(rerun.copiesInPlace, 3u);
  EXPECT_EQ(rerun.copiesWritten, 2u);
  EXPECT_EQ(report::OutcomeLine(rerun), report::OutcomeLine(report));

  // Clips from a disk that tells case apart, into the card, which does not: take.mp4 and
  // TAKE.mp4 land on one copy, and only the later one is collected.
  tree.WriteFile(u"local/ab_cd_ef/MP4 HIGH RES/TAKE.mp4", "upper");
  tree.WriteFile(u"local/ab_cd_ef/MP4 HIGH RES/take.mp4", "lower");
  tree.MakeFolder(u"card/D2");
  const report::PassReport folded = pass::CollectClips(*fs, tree.Path(u"local"), tree.Path(u"card/D2"));
  EXPECT_EQ(report::OutcomeLine(folded), u"video copy incomplete: 1 of 2 clips could not be copied");
  EXPECT_TRUE(tree.Exists(u"local/ab_cd_ef/MP4 HIGH RES/TAKE.mp4"));
  EXPECT_TRUE(tree.Exists(u"local/ab_cd_ef/MP4 HIGH RES/take_hires.mp4"));
  EXPECT_EQ(tree.ReadFile(u"card/D2/ab_cd_adl_ef/video/take_hires.mp4"), "lower");
  (void)test;
}

// A FAT32 image of 64 MiB made in the tree, and the command that mounts it on `card` through
// its FUSE driver; empty (and the reason) when the tools are missing.
std::string Fat32Card(TempTree& tree, std::string& missing) {
  if (!Have("fusefat") || !Have("mkfs.vfat") || ::access("/dev/fuse", F_OK) != 0) {
    missing = "needs fusefat, mkfs.vfat (dosfstools) and /dev/fuse";
    return {};
  }
  const std::string image = platform::ToNativeName(tree.Path(u"card.img"));
  if (Shell("truncate -s 64M " + image + " && mkfs.vfat -F 32 " + image) != 0) {
    missing = "mkfs.vfat failed";
    return {};
  }
  tree.MakeFolder(u"card");
  return "fusefat -o rw+ " + image + " " + Quote(tree.Path(u"card"));
}

TEST_F(RealFaults, Fat32CardThroughFuse) {
  std::string missing;
  const std::string mount = Fat32Card(tree, missing);
  if (mount.empty()) GTEST_SKIP() << missing;
  Mount card(tree.Path(u"card"));
  CardPassMarksEveryClipAndNeverReplaces(*this, tree, card, mount);
}

TEST_F(RealFaults, ExfatCardThroughFuse) {
  if (!Have("mount.exfat-fuse") || !Have("mkfs.exfat") || !Have("losetup") || ::access("/dev/fuse", F_OK) != 0) {
    GTEST_SKIP() << "needs exfat-fuse, exfatprogs, losetup and /dev/fuse";
  }
  const std::string image = platform::ToNativeName(tree.Path(u"card.img"));
  ASSERT_EQ(Shell("truncate -s 64M " + image + " && mkfs.exfat " + image), 0);
  tree.MakeFolder(u"card");
  Mount card(tree.Path(u"card"));
  // The FUSE driver wants a block device: the image through a loop device.
  if (!card.AttachLoop(image)) GTEST_SKIP() << "no loop device can be set up here";
  CardPassMarksEveryClipAndNeverReplaces(*this, tree, card, "mount.exfat-fuse " + card.loop_ + " " + Quote(tree.Path(u"card")));
}

// The destination is a disk of its own (an ext4 image through a loop device) that goes away in
// the middle of a pass, as a desktop unmounts a drive whose cable was pulled (`umount -l`): at
// each of several moments. Nothing lands beneath the mount point, no clip is marked after it, the
// message says the copy to folder is gone and names every clip not collected, and with the disk
// back a rerun completes and the whole history passes its check.
TEST_F(RealFaults, ADestinationUnmountedMidPassGetsNothingMoreAndMarksNothingMore) {
  if (!Have("mkfs.ext4") || !Have("losetup")) GTEST_SKIP() << "needs mkfs.ext4 (e2fsprogs) and losetup";
  for (int unmountAfter : {1, 3, 5, 8}) {
    SCOPED_TRACE("unmounted after copy " + std::to_string(unmountAfter));
    TempTree shoot;
    for (const char16_t* shot : {u"ab_cd_ef", u"gh_ij_kl", u"mn_op_qr"}) {
      for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4"}) {
        shoot.WriteFile(std::u16string(u"S/") + shot + u"/MP4 HIGH RES/" + name,
                        std::string(1 << 20, static_cast<char>('a' + unmountAfter)) + platform::ToDisplay(shot));
      }
    }
    shoot.MakeFolder(u"D");
    const std::string image = Quote(shoot.Path(u"disk.img"));
    const std::string point = Quote(shoot.Path(u"D"));
    ASSERT_EQ(Shell("truncate -s 64M " + image + " && mkfs.ext4 -q -F " + image), 0);
    Mount disk(shoot.Path(u"D"));
    if (!disk.Run("mount -o loop " + image + " " + point)) GTEST_SKIP() << "cannot mount a loop device here";

    testing::RecordingFileSystem recorder(shoot.Root());
    int copies = 0;
    recorder.after = [&](const std::string& call) {
      if (call.rfind("kernel-copy ", 0) == 0 && ++copies == unmountAfter) Shell("umount -l " + point);
    };
    pass::PassOptions options;
    options.keepHistory = true;
    options.batchCopies = 2;  // marks between the copies
    const report::PassReport report = pass::CollectClips(recorder, shoot.Path(u"S"), shoot.Path(u"D"), options);
    EXPECT_EQ(shoot.Dump(u"D"), "") << "written beneath the mount point";
    ASSERT_EQ(report.outcome, report::Outcome::kIncomplete);
    ASSERT_FALSE(report.problems.empty());
    EXPECT_EQ(report::DescribeProblem(report.problems[0]).rfind(shoot.Path(u"D") + u": the copy to folder is gone", 0), 0u)
        << platform::ToDisplay(report::DescribeProblem(report.problems[0]));
    // Each clip is marked, or named with the reason it is not.
    std::size_t marked = 0;
    for (const char16_t* shot : {u"ab_cd_ef", u"gh_ij_kl", u"mn_op_qr"}) {
      for (const char16_t* clip : {u"v01", u"v02", u"v03"}) {
        const std::u16string folder = std::u16string(u"S/") + shot + u"/MP4 HIGH RES/";
        if (shoot.Exists(folder + clip + u"_hires.mp4")) {
          ++marked;
          continue;
        }
        const std::u16string path = shoot.Path(folder + clip + u".mp4");
        EXPECT_TRUE(std::any_of(report.problems.begin(), report.problems.end(),
                                [&](const report::Problem& p) { return p.failure && p.path == path; }))
            << platform::ToDisplay(path);
      }
    }
    EXPECT_EQ(report.clipsMarked, marked);
    EXPECT_EQ(report.clipsFailed, 9 - marked);

    // The disk back: what was marked has its copies there, and the rerun completes the rest.
    ASSERT_TRUE(disk.Run("mount -o loop " + image + " " + point));
    const auto fs = platform::MakeRealFileSystem();
    pass::PassOptions rerun;
    rerun.keepHistory = true;
    const report::PassReport after = pass::CollectClips(*fs, shoot.Path(u"S"), shoot.Path(u"D"), rerun);
    EXPECT_EQ(after.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(after));
    EXPECT_EQ(after.copiesWritten + after.copiesProven + after.copiesInPlace, 12u);  // 3 adl and 1 int a shot
    const check::TreeCheck check = check::CheckTree(*fs, shoot.Path(u"D"));
    EXPECT_EQ(check.outcome, check::CheckOutcome::kProven) << platform::ToDisplay(check::CheckOutcomeLine(check));
    EXPECT_EQ(check.Warnings(), 0u);
  }
}

// The card itself goes away once copies are made, before their clips are marked: no clip is
// marked after it, and the message says the starting folder is gone.
TEST_F(RealFaults, AStartingFolderUnmountedMidPassMarksNothingMore) {
  tree.MakeFolder(u"S");
  Mount card(tree.Path(u"S"));
  const std::string s = Quote(tree.Path(u"S"));
  if (!card.Run("mount -t tmpfs -o size=16m tmpfs " + s)) GTEST_SKIP() << "cannot mount a tmpfs here";
  Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4"}, 1 << 20);
  tree.MakeFolder(u"D");
  testing::RecordingFileSystem recorder(tree.Root());
  bool unmounted = false;
  recorder.before = [&](const std::string& call) {
    // The first batch's flush: its copies are made, none of its clips marked yet.
    if (unmounted || call.rfind("flush-volume ", 0) != 0) return;
    unmounted = true;
    Shell("umount -l " + s);
  };
  pass::PassOptions options;
  options.batchCopies = 2;
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), options);
  ASSERT_TRUE(unmounted);
  EXPECT_EQ(report.clipsMarked, 0u);
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 4 of 4 clips could not be copied");
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report::DescribeProblem(report.problems[0]),
            tree.Path(u"S") + u": the starting folder is gone (its card or disk was removed or unmounted, or another "
                              u"took its place): the pass stopped there, and no clip was marked after it");
  for (const report::Problem* problem : report::ProblemsInOrder(report)) EXPECT_TRUE(problem->failure) << platform::ToDisplay(report::DescribeProblem(*problem));
}

// A clip of 4 GiB or more cannot lie on a FAT32 card: it fails before anything is written, with
// the reason, and the other clips are collected.
TEST_F(RealFaults, AClipTooLargeForAFat32DestinationFailsBeforeAnythingIsWritten) {
  std::string missing;
  const std::string mount = Fat32Card(tree, missing);
  if (mount.empty()) GTEST_SKIP() << missing;
  Mount card(tree.Path(u"card"));
  ASSERT_TRUE(card.Run(mount));
  tree.MakeFolder(u"card/D");
  tree.WriteSparseFile(testing::ClipIn(u"ab_cd_ef", u"v01.mp4"), 4ull << 30);
  tree.WriteFile(testing::ClipIn(u"ab_cd_ef", u"v02.mp4"), "two");
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"card/D"));
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 1 of 2 clips could not be copied");
  ASSERT_EQ(report.Failures(), 1u);
  EXPECT_EQ(report::DescribeProblem(report.problems[0]),
            tree.Path(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")) + u": not copied to " +
                tree.Path(u"card/D/ab_cd_adl_ef/video/v01_hires.mp4") +
                u": the copy to folder's file system (FAT) holds no file of 4 GiB or more");
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v01.mp4")));
  EXPECT_TRUE(tree.Exists(testing::ClipIn(u"ab_cd_ef", u"v02_hires.mp4")));
  EXPECT_EQ(tree.Names(u"card/D/ab_cd_adl_ef/video"), (std::vector<std::u16string>{u"v02_hires.mp4"}));
}

// The destination turns read-only once the copies are in place and recorded, before the
// generation is written: the pass is complete and says the history waits for the next pass, what
// it spooled stays on the disk, and the next pass (the disk writable again) writes it.
TEST_F(RealFaults, AHistoryThatCannotBeWrittenAtTheEndIsWrittenByTheNextPass) {
  Clips(u"ab_cd_ef", {u"v01.mp4", u"v02.mp4", u"v03.mp4"});
  tree.MakeFolder(u"D");
  Mount disk(tree.Path(u"D"));
  const std::string d = Quote(tree.Path(u"D"));
  if (!disk.Run("mount --bind " + d + " " + d)) GTEST_SKIP() << "cannot make a bind mount here";
  testing::RecordingFileSystem recorder(tree.Root());
  int temporaries = 0;
  recorder.before = [&](const std::string& call) {
    // The first temporary of the history folder is the pass's spool, the second its generation.
    if (call == "create-temporary <root>/D/ascmhl" && ++temporaries == 2) Shell("mount -o remount,bind,ro " + d);
  };
  pass::PassOptions options;
  options.keepHistory = true;
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), options);
  ASSERT_EQ(temporaries, 2);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
  EXPECT_EQ(report.clipsMarked, 3u);
  ASSERT_EQ(report.problems.size(), 1u);
  const std::u16string line = report::DescribeProblem(report.problems[0]);
  EXPECT_NE(line.find(u"history not updated: "), std::u16string::npos) << platform::ToDisplay(line);
  EXPECT_TRUE(line.ends_with(u"; the next pass to this folder records its copies")) << platform::ToDisplay(line);

  ASSERT_EQ(Shell("mount -o remount,bind,rw " + d), 0);
  const auto fs = platform::MakeRealFileSystem();
  EXPECT_EQ(pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), options).outcome, report::Outcome::kComplete);
  const std::vector<std::u16string> history = tree.Names(u"D/ascmhl");
  ASSERT_EQ(history.size(), 2u) << tree.Dump(u"D/ascmhl");
  EXPECT_TRUE(history[0].starts_with(u"0001_D_"));
  const check::TreeCheck check = check::CheckTree(*fs, tree.Path(u"D"));
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven) << platform::ToDisplay(check::CheckOutcomeLine(check));
  EXPECT_EQ(check.Warnings(), 0u);
}

}  // namespace
}  // namespace marlowin

// A backup folder on a disk of its own that fills up, goes away or was never writable, made for
// real (Linux, root); and a pass to two destinations killed at many moments, then run again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"
#include "tests/support/Mount.h"
#include "tests/support/Process.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin {
namespace {

using testing::Have;
using testing::Mount;
using testing::Quote;
using testing::Shell;
using testing::TempTree;

constexpr const char16_t* kShots[] = {u"ab_cd_ef", u"gh_ij_kl", u"mn_op_qr"};
constexpr const char16_t* kClips[] = {u"v01.mp4", u"v02.mp4", u"v03.mp4"};

void MakeShoot(const TempTree& tree, std::size_t size) {
  for (const char16_t* shot : kShots) testing::Shoot(tree).Clips(shot, {kClips[0], kClips[1], kClips[2]}, size);
  tree.MakeFolder(u"D");
  tree.MakeFolder(u"B");
}

pass::PassOptions ToBoth(const TempTree& tree) {
  pass::PassOptions options;
  options.keepHistory = true;
  options.backupFolder = tree.Path(u"B");
  options.batchCopies = 4;  // marks between the copies
  return options;
}

void ExpectProven(const TempTree& tree, std::u16string_view folder) {
  const auto fs = platform::MakeRealFileSystem();
  const check::TreeCheck check = check::CheckTree(*fs, tree.Path(folder));
  EXPECT_EQ(check.outcome, check::CheckOutcome::kProven)
      << platform::ToDisplay(folder) << ": " << platform::ToDisplay(check::CheckOutcomeLine(check));
  EXPECT_EQ(check.Warnings(), 0u) << tree.Dump(folder);
}

// How many clips carry the mark.
std::size_t Marked(const TempTree& tree) {
  std::size_t marked = 0;
  for (const char16_t* shot : kShots) {
    for (const std::u16string& name : tree.Names(testing::ClipIn(shot))) marked += name.find(u"_hires") != std::u16string::npos;
  }
  return marked;
}

class BackupFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount file systems (CI runs as root)";
  }
  TempTree tree;
};

// The backup's disk fills once the pass has begun: the copy to folder is complete and proven,
// no clip whose backup copy failed is marked, and with room again a rerun writes only the
// backup's missing copies.
TEST_F(BackupFaults, ABackupThatFillsUpLeavesTheCopyToFolderCompleteAndARerunFinishesIt) {
  MakeShoot(tree, 1 << 20);
  Mount disk(tree.Path(u"B"));
  if (!disk.Run("mount -t tmpfs -o size=16m tmpfs " + Quote(tree.Path(u"B")))) GTEST_SKIP() << "cannot mount a tmpfs here";
  testing::RecordingFileSystem recorder(tree.Root());
  bool filled = false;
  recorder.after = [&](const std::string& call) {
    if (filled || call.find("-> <root>/B/") == std::string::npos) return;
    filled = true;
    Shell("dd if=/dev/zero of=" + Quote(tree.Path(u"B/filler")) + " bs=1M count=14 oflag=direct");
  };
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  ASSERT_TRUE(filled);
  EXPECT_EQ(report.outcome, report::Outcome::kIncomplete);
  EXPECT_GT(report.clipsFailed, 0u);
  EXPECT_EQ(report.copiesWritten, 12u) << "every copy of the copy to folder";
  EXPECT_EQ(Marked(tree), report.clipsMarked);
  EXPECT_EQ(Marked(tree) + report.clipsFailed, 9u);
  bool named = false;
  for (const report::Problem& problem : report.problems) {
    named = named || (problem.failure && problem.target.starts_with(tree.Path(u"B")) &&
                      problem.reason == std::errc::no_space_on_device);
  }
  EXPECT_TRUE(named) << platform::ToDisplay(report::MessageText(report, 40));
  ExpectProven(tree, u"D");
  // No copy's temporary; the history's spool may stay, for the next pass to record.
  for (const char16_t* folder : {u"B/ab_cd_adl_ef/video", u"B/gh_ij_adl_kl/video", u"B/mn_op_adl_qr/video"}) {
    for (const std::u16string& name : tree.Names(folder)) EXPECT_FALSE(platform::IsTemporaryName(name)) << tree.Dump(u"B");
  }

  tree.Remove(u"B/filler");
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  ASSERT_EQ(rerun.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(rerun));
  EXPECT_EQ(rerun.copiesWritten, 0u) << "the copy to folder is not written again";
  EXPECT_GT(rerun.backup.copiesWritten, 0u);
  EXPECT_EQ(Marked(tree), 9u);
  ExpectProven(tree, u"B");
  ExpectProven(tree, u"D");
}

// The backup's disk is unmounted mid-pass (a pulled cable): nothing lands beneath its mount
// point, the copy to folder's copies go on, the message says the backup folder is gone, and no
// clip whose backup copy is missing is marked.
TEST_F(BackupFaults, ABackupUnmountedMidPassStopsOnlyItsOwnCopies) {
  if (!Have("mkfs.ext4") || !Have("losetup")) GTEST_SKIP() << "needs mkfs.ext4 (e2fsprogs) and losetup";
  MakeShoot(tree, 1 << 20);
  const std::string image = Quote(tree.Path(u"disk.img"));
  const std::string point = Quote(tree.Path(u"B"));
  ASSERT_EQ(Shell("truncate -s 64M " + image + " && mkfs.ext4 -q -F " + image), 0);
  Mount disk(tree.Path(u"B"));
  if (!disk.Run("mount -o loop " + image + " " + point)) GTEST_SKIP() << "cannot mount a loop device here";
  testing::RecordingFileSystem recorder(tree.Root());
  int copies = 0;
  recorder.after = [&](const std::string& call) {
    if (call.find("-> <root>/B/") != std::string::npos && ++copies == 3) Shell("umount -l " + point);
  };
  const report::PassReport report = pass::CollectClips(recorder, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  EXPECT_EQ(tree.Dump(u"B"), "") << "written beneath the mount point";
  ASSERT_EQ(report.outcome, report::Outcome::kIncomplete);
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report::DescribeProblem(report.problems[0]).rfind(tree.Path(u"B") + u": the backup folder is gone", 0), 0u)
      << platform::ToDisplay(report::DescribeProblem(report.problems[0]));
  EXPECT_EQ(report.copiesWritten, 12u) << "the copy to folder's copies go on";
  EXPECT_EQ(Marked(tree), report.clipsMarked);
  EXPECT_EQ(Marked(tree) + report.clipsFailed, 9u);
  EXPECT_LT(Marked(tree), 9u);
  ExpectProven(tree, u"D");

  ASSERT_TRUE(disk.Run("mount -o loop " + image + " " + point));
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  ASSERT_EQ(rerun.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(rerun));
  EXPECT_EQ(rerun.copiesWritten, 0u);
  EXPECT_EQ(Marked(tree), 9u);
  ExpectProven(tree, u"B");
}

// The card on a device of its own (an ext4 image through a loop device), cold: a pass to both
// destinations, with the clips read ahead of the copies, reads each clip's bytes from the device
// once, as the device itself counts them.
TEST_F(BackupFaults, TheCardIsReadOnceFromItsDevice) {
  if (!Have("mkfs.ext4") || !Have("losetup")) GTEST_SKIP() << "needs mkfs.ext4 (e2fsprogs) and losetup";
  const std::string image = Quote(tree.Path(u"card.img"));
  ASSERT_EQ(Shell("truncate -s 64M " + image + " && mkfs.ext4 -q -F " + image), 0);
  tree.MakeFolder(u"S");
  Mount card(tree.Path(u"S"));
  const std::string point = Quote(tree.Path(u"S"));
  if (!card.AttachLoop(image) || !card.Run("mount " + card.loop_ + " " + point)) GTEST_SKIP() << "cannot mount a loop device here";
  constexpr std::size_t kClipBytes = 2 << 20;  // each read ahead
  MakeShoot(tree, kClipBytes);
  // Mounted again, with the device's buffers dropped: nothing of the card is in the cache.
  ASSERT_EQ(Shell("umount " + point + " && blockdev --flushbufs " + card.loop_), 0);
  ASSERT_TRUE(card.Run("mount " + card.loop_ + " " + point));
  const auto sectorsRead = [&] {
    std::FILE* stat = std::fopen(("/sys/block/" + card.loop_.substr(card.loop_.rfind('/') + 1) + "/stat").c_str(), "r");
    unsigned long long reads = 0, merged = 0, sectors = 0;
    if (stat && std::fscanf(stat, "%llu %llu %llu", &reads, &merged, &sectors) != 3) sectors = 0;
    if (stat) std::fclose(stat);
    return sectors;
  };
  const unsigned long long before = sectorsRead();
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  ASSERT_EQ(report.outcome, report::Outcome::kComplete) << platform::ToDisplay(report::MessageText(report));
  const unsigned long long read = (sectorsRead() - before) * 512;
  const unsigned long long clips = 9ull * kClipBytes;
  EXPECT_GE(read, clips);
  EXPECT_LT(read, clips + clips / 4) << "the card's bytes were read more than once";  // and its folders, once
  ExpectProven(tree, u"B");
}

// A backup folder nobody may write to (a read-only mount) from the start: the copy to folder is
// complete, no clip is marked, and each clip says why.
TEST_F(BackupFaults, AReadOnlyBackupMarksNoClip) {
  MakeShoot(tree, 64);
  const std::string b = Quote(tree.Path(u"B"));
  Mount readOnly(tree.Path(u"B"));
  if (!readOnly.Run("mount --bind " + b + " " + b + " && mount -o remount,bind,ro " + b)) {
    GTEST_SKIP() << "cannot make a read-only bind mount here";
  }
  const auto fs = platform::MakeRealFileSystem();
  const report::PassReport report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
  EXPECT_EQ(report::OutcomeLine(report), u"video copy incomplete: 9 of 9 clips could not be copied");
  EXPECT_EQ(Marked(tree), 0u);
  EXPECT_EQ(report.copiesWritten, 12u);
  ExpectProven(tree, u"D");
}

constexpr const char* kKillAt = "MARLOWIN_TEST_BACKUP_KILL_AT";
constexpr const char* kRoot = "MARLOWIN_TEST_BACKUP_ROOT";

// In a child process: the pass to both destinations, killed at the file-system call chosen.
TEST(KilledBackupPassChild, RunsUntilKilled) {
  const char* at = std::getenv(kKillAt);
  const char* root = std::getenv(kRoot);
  if (!at || !root) GTEST_SKIP() << "only run as a child of KilledBackupPass";
  testing::RecordingFileSystem recorder(platform::FromNativeName(root));
  long calls = 0;
  const long killAt = std::atol(at);
  recorder.before = [&](const std::string&) {
    if (++calls == killAt) testing::KillThisProcess();
  };
  const std::u16string folder = platform::FromNativeName(root) + platform::kPathSeparator;
  pass::PassOptions options;
  options.keepHistory = true;
  options.backupFolder = folder + u"B";
  options.batchCopies = 4;
  const report::PassReport report = pass::CollectClips(recorder, folder + u"S", folder + u"D", options);
  std::printf("pass ended after %ld calls\n", calls);
  EXPECT_EQ(report.outcome, report::Outcome::kComplete);
}

// Killed at many moments: a rerun leaves both trees whole, alike, and proven by their histories.
TEST(KilledBackupPass, ThenRunAgainLeavesBothTreesAndHistoriesWhole) {
  for (long at = 1;; at += 7) {
    TempTree tree;
    MakeShoot(tree, 4096);
    testing::ChildProgram child(testing::ThisProgram(), {u"--gtest_filter=KilledBackupPassChild.*"},
                                {{kKillAt, std::to_string(at)}, {kRoot, platform::ToDisplay(tree.Root())}});
    const testing::ProgramResult result = child.Wait(testing::kChildLimit);
    const bool ended = result.out.find("pass ended after") != std::string::npos;
    ASSERT_TRUE(ended || result.status != 0) << "call " << at << ": " << result.out << result.err;
    const auto fs = platform::MakeRealFileSystem();
    const report::PassReport rerun = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), ToBoth(tree));
    ASSERT_EQ(rerun.outcome, report::Outcome::kComplete)
        << "killed at call " << at << ": " << platform::ToDisplay(report::MessageText(rerun));
    EXPECT_EQ(Marked(tree), 9u);
    ExpectProven(tree, u"D");
    ExpectProven(tree, u"B");
    EXPECT_EQ(tree.Names(u"D"), tree.Names(u"B")) << "killed at call " << at;
    if (ended) break;
    ASSERT_LT(at, 5000) << "the pass never ended";
  }
}

}  // namespace
}  // namespace marlowin

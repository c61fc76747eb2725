// The clips read into the cache ahead of the copy: never more than the window ahead of it, in
// order, on from where the copy is when it jumps ahead, stopped when the pass no longer needs it;
// and through the platform's files, real clips read and a missing one passed over.
#include "collector/pass/CacheAhead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collector/naming/NamingRules.h"
#include "platform/Files.h"
#include "platform/NativeName.h"
#include "tests/support/TempTree.h"

namespace marlowin::pass {
namespace {

using namespace std::chrono_literals;

// Writes down each read ("a 0+4") and lets the test wait for a number of them.
class Reads {
 public:
  CacheAhead::Reader Reader() {
    return [this](const std::u16string& path, std::uint64_t offset, std::uint64_t length, std::uint64_t& got) {
      if (path.empty()) return std::error_code();  // a clip's reads are over
      std::lock_guard lock(mutex_);
      // The clip's name alone: "a 0+4".
      const std::string shown = platform::ToDisplay(path);
      lines_.push_back(shown.substr(shown.find_last_of("/\\") + 1) + " " + std::to_string(offset) + "+" + std::to_string(length));
      got = length;
      changed_.notify_all();
      return std::error_code();
    };
  }
  // The reads once there are `count` of them and no more come for a moment.
  std::vector<std::string> After(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 5s, [&] { return lines_.size() >= count; });
    changed_.wait_for(lock, 50ms, [&] { return lines_.size() > count; });
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
};

// Shots a_b_c (a, an in place x, b) and d_e_f (c), each clip 10 bytes.
plan::Plan ThreeClips() {
  plan::Plan plan;
  plan.startingFolder = u"S";
  plan.destinations = {u"D"};
  plan.shots.resize(2);
  plan.shots[0].name = u"a_b_c";
  plan.shots[1].name = u"d_e_f";
  plan.shots[0].clips.resize(3);
  plan.shots[1].clips.resize(1);
  const char16_t* names[] = {u"a", u"x", u"b", u"c"};
  for (std::size_t i = 0; i < 4; ++i) {
    plan::PlannedClip& clip = plan.shots[i / 3].clips[i % 3];
    clip.name = names[i];
    clip.size = 10;
  }
  plan.shots[0].clips[1].adl[0].action = plan::CopyAction::kInPlace;
  plan.steps = {{plan::StepKind::kShot, 0, 0}, {plan::StepKind::kClip, 0, 0}, {plan::StepKind::kClip, 0, 1},
                {plan::StepKind::kClip, 0, 2}, {plan::StepKind::kCommit, 0, 1}, {plan::StepKind::kShot, 1, 0},
                {plan::StepKind::kClip, 1, 0}, {plan::StepKind::kSettle, 0, 1}};
  return plan;
}

TEST(CacheAhead, StaysAWindowAheadOfTheCopyAndFollowsItAcrossClips) {
  Reads reads;
  const plan::Plan plan = ThreeClips();
  CacheAhead ahead(plan, reads.Reader(), 8, 4, 1);
  // Before the copy starts: the window's first 8 bytes.
  EXPECT_EQ(reads.After(2), (std::vector<std::string>{"a 0+4", "a 4+4"}));
  // The copy is through a: what is left of it is not worth reading; b's first 8 bytes are.
  ahead.BeginClip(0, 0);
  ahead.Copied(10);
  EXPECT_EQ(reads.After(4), (std::vector<std::string>{"a 0+4", "a 4+4", "b 0+4", "b 4+4"}));
  // A clip not read from the card (its copies in place) moves nothing, and is not read.
  ahead.BeginClip(0, 1);
  ahead.Copied(5);
  EXPECT_EQ(reads.After(4).size(), 4u);
  ahead.BeginClip(0, 2);
  ahead.Copied(10);
  EXPECT_EQ(reads.After(6), (std::vector<std::string>{"a 0+4", "a 4+4", "b 0+4", "b 4+4", "c 0+4", "c 4+4"}));
}

TEST(CacheAhead, GoesOnFromWhereTheCopyIsWhenItSkipsAClip) {
  Reads reads;
  const plan::Plan plan = ThreeClips();
  CacheAhead ahead(plan, reads.Reader(), 4, 4, 1);
  ASSERT_EQ(reads.After(1), (std::vector<std::string>{"a 0+4"}));
  // a failed, b was skipped: the copy is 2 bytes into c, and nothing behind it is read.
  ahead.BeginClip(1, 0);
  ahead.Copied(2);
  EXPECT_EQ(reads.After(2), (std::vector<std::string>{"a 0+4", "c 2+4"}));
  ahead.Copied(6);
  EXPECT_EQ(reads.After(3).back(), "c 6+4");
}

TEST(CacheAhead, StopsWhenThePassNoLongerNeedsIt) {
  Reads reads;
  const plan::Plan plan = ThreeClips();
  {
    CacheAhead ahead(plan, reads.Reader(), 4, 4, 1);
    ASSERT_EQ(reads.After(1).size(), 1u);
  }  // waits for nothing: the reader is waiting for the copy
  EXPECT_EQ(reads.After(1).size(), 1u);
  // Clips below the least are left to the copy.
  { CacheAhead small(plan, reads.Reader(), 4, 4, 11); }
  EXPECT_EQ(reads.After(1).size(), 1u);
}

TEST(CacheAhead, ReadsRealClipsThroughThePlatformAndPassesOverAMissingOne) {
  testing::TempTree tree;
  plan::Plan plan = ThreeClips();
  plan.startingFolder = tree.Path(u"S");
  plan.shots[0].clips[0].size = 300000;
  const std::u16string a = u"S/a_b_c/" + std::u16string(naming::kClipFolderName) + u"/a";
  tree.WriteFile(a, std::string(300000, 'a'));  // b is gone since the plan
  tree.WriteFile(u"S/d_e_f/" + std::u16string(naming::kClipFolderName) + u"/c", std::string(5, 'c'));  // shorter than planned
  { CacheAhead ahead(plan, {}, 1 << 20, 65536, 1); }
  EXPECT_EQ(tree.ReadFile(a), std::string(300000, 'a'));  // read, never written

  platform::File file;
  ASSERT_FALSE(file.OpenForReading(tree.Path(a)));
  std::uint64_t got = 0;
  ASSERT_FALSE(file.ReadIntoCache(299990, 100, got));
  EXPECT_EQ(got, 10u);  // to the file's end
  ASSERT_FALSE(file.ReadIntoCache(400000, 100, got));
  EXPECT_EQ(got, 0u);
  ASSERT_FALSE(file.ReadIntoCache(0, 300000, got));
  EXPECT_EQ(got, 300000u);
}

}  // namespace
}  // namespace marlowin::pass

// The queue of copies on the real file system: staged beside the target, put in place by the
// commit, proven with verification.
#include "collector/pass/CopyQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "platform/NativeName.h"
#endif

namespace marlowin {
namespace {

pass::CopyQueue::Mode ModeOf(bool hash, bool prove) {
  pass::CopyQueue::Mode mode;
  mode.hash = hash;
  mode.prove = prove;
  return mode;
}

using platform::ByteObserver;
using platform::FileStatus;
using testing::TempTree;

class CopyQueueTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::FileSystem> fs = platform::MakeRealFileSystem();
  pass::CopyQueue queue{*fs};
  TempTree tree;

  std::error_code Copy(const char16_t* from, const char16_t* to, bool verify = true, std::uint64_t* ticket = nullptr) {
    std::uint64_t own = 0;
    return queue.Copy(tree.Path(from), tree.Path(to), ModeOf(verify, verify), nullptr, ticket ? *ticket : own);
  }
  std::vector<pass::CopyOutcome> Commit() {
    queue.BeginCommit();
    std::vector<pass::CopyOutcome> outcomes;
    queue.FinishCommit(outcomes, nullptr);
    return outcomes;
  }
  // The temporaries of a folder: the staged copies not yet in place.
  std::vector<std::u16string> Temporaries(const char16_t* folder) {
    std::vector<platform::FolderEntry> entries;
    EXPECT_FALSE(platform::ListFolder(tree.Path(folder), entries));
    std::vector<std::u16string> names;
    for (const platform::FolderEntry& entry : entries) {
      if (platform::IsTemporaryName(entry.name)) names.push_back(entry.name);
    }
    return names;
  }
  FileStatus Status(const char16_t* path) {
    FileStatus status;
    EXPECT_FALSE(platform::GetStatus(tree.Path(path), status));
    return status;
  }
};

TEST(ContentHash, IsXxh3With128BitsAsXxhsumPrintsIt) {
  platform::ContentHasher empty;
  EXPECT_EQ(empty.Hex(), "99aa06d3014798d86001c324468d497f");
  platform::ContentHasher pieces, whole;
  pieces.Update("clip ", 5);
  pieces.Update("bytes", 5);
  whole.Update("clip bytes", 10);
  EXPECT_EQ(pieces.Hex(), whole.Hex());
  EXPECT_NE(pieces.Hex(), empty.Hex());
}

TEST_F(CopyQueueTest, TargetIsReplacedOnlyAtCommitAndNothingIsLeftBehind) {
  tree.WriteFile(u"src.mp4", "new clip");
  tree.WriteFile(u"out/dst.mp4", "old copy, longer than the new one");
  std::uint64_t first = 0;
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4", true, &first));
  EXPECT_EQ(tree.ReadFile(u"out/dst.mp4"), "old copy, longer than the new one");
  EXPECT_EQ(Temporaries(u"out").size(), 1u);
  // A copy of the staged copy reads the staged bytes, and is proven against the clip.
  std::uint64_t second = 0;
  ASSERT_FALSE(queue.CopyOfQueued(first, tree.Path(u"out/second.mp4"), true, nullptr, second));
  const std::vector<pass::CopyOutcome> copies = Commit();
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_FALSE(copies[0].error);
  EXPECT_FALSE(copies[1].error);
  platform::ContentHasher expected;
  expected.Update("new clip", 8);
  EXPECT_EQ(copies[0].hash, expected.Hex());
  EXPECT_EQ(copies[1].hash, expected.Hex());
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = new clip\nsecond.mp4 = new clip\n");
  EXPECT_EQ(tree.ReadFile(u"src.mp4"), "new clip");
}

TEST_F(CopyQueueTest, FailedAndAbandonedCopiesKeepTheEarlierCopy) {
  tree.WriteFile(u"out/dst.mp4", "good copy");
  tree.MakeFolder(u"folder.mp4");
  EXPECT_EQ(Copy(u"missing.mp4", u"out/dst.mp4"), std::errc::no_such_file_or_directory);
  EXPECT_EQ(Copy(u"folder.mp4", u"out/dst.mp4"), platform::Errc::kNotARegularFile);
  EXPECT_EQ(Copy(u"out/dst.mp4", u"nowhere/dst.mp4"), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(Temporaries(u"out").empty());
  tree.WriteFile(u"src.mp4", "clip");
  // A folder where the copy must go is found when the copy is put in place.
  tree.MakeFolder(u"out/taken.mp4");
  ASSERT_FALSE(Copy(u"src.mp4", u"out/taken.mp4"));
  std::vector<pass::CopyOutcome> outcomes = Commit();
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_TRUE(outcomes[0].error);
  // Abandoned before its commit: its temporary goes.
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4"));
  queue.Abandon();
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = good copy\ntaken.mp4/\n");
}

TEST_F(CopyQueueTest, CopyThatDiffersFromItsSourceIsCaughtAndRemoved) {
  tree.WriteFile(u"src.mp4", "the only take");
  tree.WriteFile(u"out/dst.mp4", "an earlier good copy");
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4"));
  // The staged bytes change between the write and the read-back, as a bad cable would have it.
  const std::vector<std::u16string> staged = Temporaries(u"out");
  ASSERT_EQ(staged.size(), 1u);
  tree.WriteFile(u"out/" + staged[0], "the only tak3");
  const std::vector<pass::CopyOutcome> copies = Commit();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].error, platform::Errc::kCopyDiffers);
  EXPECT_EQ(platform::Describe(copies[0].error), "copy differs from the source");
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = an earlier good copy\n");

  // A copy found in place and proven that differs from its clip is no copy either: it goes;
  // one that is equal stays as it was, not written again.
  tree.WriteFile(u"good.mp4", "the only take");
  tree.WriteFile(u"bad.mp4", "the only tak3");
  tree.WriteFile(u"same.mp4", "the only take");
  const FileStatus same = Status(u"same.mp4");
  queue.Prove(tree.Path(u"good.mp4"), tree.Path(u"bad.mp4"));
  queue.Prove(tree.Path(u"good.mp4"), tree.Path(u"same.mp4"));
  const std::vector<pass::CopyOutcome> proven = Commit();
  ASSERT_EQ(proven.size(), 2u);
  EXPECT_EQ(proven[0].error, platform::Errc::kCopyDiffers);
  EXPECT_FALSE(proven[1].error);
  EXPECT_FALSE(tree.Exists(u"bad.mp4"));
  EXPECT_EQ(Status(u"same.mp4").fileId, same.fileId);
}

// A batch's copies are proven two at a time: each outcome must still be its own copy's, and two
// copies found in place of one clip must both learn the clip's hash.
TEST_F(CopyQueueTest, ProofsSideBySideEachJudgeTheirOwnCopy) {
  struct Expected {
    std::uint64_t ticket;
    bool differs;
    std::string hash;
  };
  std::vector<Expected> expected;
  tree.MakeFolder(u"adl");
  tree.MakeFolder(u"int");
  for (char16_t c = u'a'; c < u'a' + 8; ++c) {
    const std::u16string name(1, c);
    const std::u16string clip = tree.Path(u"clips/" + name + u".mp4");
    std::string bytes((1u << 20) + static_cast<std::size_t>(c - u'a') * 4097, static_cast<char>(c));
    tree.WriteFile(u"clips/" + name + u".mp4", bytes);
    platform::ContentHasher hasher;
    hasher.Update(bytes.data(), bytes.size());
    std::uint64_t written = 0, copied = 0;
    ASSERT_FALSE(queue.Copy(clip, tree.Path(u"adl/" + name + u".mp4"), ModeOf(true, true), nullptr, written));
    ASSERT_FALSE(queue.CopyOfQueued(written, tree.Path(u"int/" + name + u".mp4"), true, nullptr, copied));
    expected.push_back({written, false, hasher.Hex()});
    expected.push_back({copied, false, hasher.Hex()});
    const bool spoiled = (c - u'a') % 2 == 1;
    tree.WriteFile(u"kept/" + name + u"1.mp4", bytes);
    if (spoiled) bytes[bytes.size() / 2] ^= 1;
    tree.WriteFile(u"kept/" + name + u"2.mp4", bytes);
    expected.push_back({queue.Prove(clip, tree.Path(u"kept/" + name + u"1.mp4")), false, hasher.Hex()});
    expected.push_back({queue.Prove(clip, tree.Path(u"kept/" + name + u"2.mp4")), spoiled, hasher.Hex()});
  }
  const std::vector<pass::CopyOutcome> outcomes = Commit();
  ASSERT_EQ(outcomes.size(), expected.size());
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(outcomes[i].ticket, expected[i].ticket);
    if (expected[i].differs) {
      EXPECT_EQ(outcomes[i].error, platform::Errc::kCopyDiffers);
    } else {
      EXPECT_FALSE(outcomes[i].error);
      EXPECT_EQ(outcomes[i].hash, expected[i].hash);
    }
  }
  for (const char16_t* gone : {u"kept/b2.mp4", u"kept/d2.mp4", u"kept/f2.mp4", u"kept/h2.mp4"}) EXPECT_FALSE(tree.Exists(gone));
  for (const char16_t* kept : {u"kept/a2.mp4", u"kept/h1.mp4", u"adl/h.mp4", u"int/h.mp4"}) EXPECT_TRUE(tree.Exists(kept));
}

// Copies made from a copy written without hashing are proven against its clip's hash, learnt
// once at the commit; when the clip cannot be read then, each fails for that reason and none
// is put in place.
TEST_F(CopyQueueTest, CopiesMadeFromACopyShareItsClipsHashOrItsReason) {
  testing::RecordingFileSystem recorder(tree.Root());  // counts the clip's reads
  pass::CopyQueue recorded(recorder);
  tree.MakeFolder(u"adl");
  tree.MakeFolder(u"int");
  const std::string bytes(3u << 20, 'k');
  platform::ContentHasher hasher;
  hasher.Update(bytes.data(), bytes.size());
  for (const bool clipGone : {false, true}) {
    SCOPED_TRACE(clipGone);
    tree.WriteFile(u"clip.mp4", bytes);
    std::uint64_t written = 0, first = 0, second = 0;
    ASSERT_FALSE(recorded.Copy(tree.Path(u"clip.mp4"), tree.Path(u"adl/a.mp4"), ModeOf(false, true), nullptr, written));
    ASSERT_FALSE(recorded.CopyOfQueued(written, tree.Path(u"int/b.mp4"), true, nullptr, first));
    ASSERT_FALSE(recorded.CopyOfQueued(written, tree.Path(u"int/c.mp4"), true, nullptr, second));
    if (clipGone) {
      ASSERT_FALSE(fs->RemoveFile(tree.Path(u"clip.mp4")));
    }
    recorder.Clear();
    recorded.BeginCommit();
    std::vector<pass::CopyOutcome> outcomes;
    recorded.FinishCommit(outcomes, nullptr);
    ASSERT_EQ(outcomes.size(), 3u);
    // Once for both copies made from the copy, also when the clip is gone.
    const std::vector<std::string> calls = recorder.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open <root>/clip.mp4"), 1);
    for (const pass::CopyOutcome& outcome : outcomes) {
      if (clipGone) {
        EXPECT_EQ(outcome.error, std::errc::no_such_file_or_directory);
      } else {
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(outcome.hash, hasher.Hex());
      }
    }
    for (int i = 0; const char16_t* copy : {u"adl/a.mp4", u"int/b.mp4", u"int/c.mp4"}) {
      SCOPED_TRACE(i++);
      EXPECT_EQ(tree.Exists(copy), !clipGone);
      if (!clipGone) {
        ASSERT_FALSE(fs->RemoveFile(tree.Path(copy)));
      }
    }
  }
}

TEST_F(CopyQueueTest, CommitsOverlapTheNextBatchAndTellTheirCopiesInAFolder) {
  tree.WriteFile(u"a.mp4", std::string(1 << 20, 'a'));
  tree.WriteFile(u"b.mp4", std::string(1 << 20, 'b'));
  tree.MakeFolder(u"one");
  tree.MakeFolder(u"two");
  ASSERT_FALSE(Copy(u"a.mp4", u"one/a.mp4"));
  EXPECT_TRUE(queue.HasCopiesIn(tree.Path(u"one")));
  queue.BeginCommit();
  // Queued while the first batch is committed, and a batch of its own.
  ASSERT_FALSE(Copy(u"b.mp4", u"two/b.mp4"));
  EXPECT_TRUE(queue.HasCopiesIn(tree.Path(u"one")));
  EXPECT_TRUE(queue.HasCopiesIn(tree.Path(u"two")));
  EXPECT_FALSE(queue.HasCopiesIn(tree.Path(u"on")));
  std::vector<pass::CopyOutcome> first;
  queue.FinishCommit(first, nullptr);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_FALSE(first[0].error);
  EXPECT_FALSE(queue.HasCopiesIn(tree.Path(u"one")));
  EXPECT_EQ(tree.ReadFile(u"one/a.mp4"), std::string(1 << 20, 'a'));
  EXPECT_FALSE(tree.Exists(u"two/b.mp4"));
  const std::vector<pass::CopyOutcome> second = Commit();
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(second[0].ticket, first[0].ticket);
  EXPECT_EQ(tree.ReadFile(u"two/b.mp4"), std::string(1 << 20, 'b'));
}

#ifndef _WIN32

TEST_F(CopyQueueTest, CopyKeepsPermissionBitsAndModificationTime) {
  tree.WriteFile(u"src.mp4", "clip");
  const std::string source = platform::ToNativeName(tree.Path(u"src.mp4"));
  ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
  const struct timespec times[2] = {{1000000000, 0}, {1234567890, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  for (bool verify : {true, false}) {
    const char16_t* target = verify ? u"verified.mp4" : u"unverified.mp4";
    ASSERT_FALSE(Copy(u"src.mp4", target, verify));
    ASSERT_EQ(Commit().size(), 1u);
    const FileStatus status = Status(target);
    EXPECT_EQ(status.permissions, 0640u);
    EXPECT_EQ(status.modified.seconds, 1234567890);
    EXPECT_EQ(status.modified.nanoseconds, 123456789u);
  }
}

TEST_F(CopyQueueTest, CopyThatFailsHalfWayLeavesNoPartialFileAndKeepsTheOldTarget) {
  const std::string clip(4 << 20, 'c');
  tree.WriteFile(u"src.mp4", clip);
  tree.WriteFile(u"out/dst.mp4", "good copy");
  // A real write failure part-way: the file size limit stops the copy at 256 KiB.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 256 << 10;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code verified = Copy(u"src.mp4", u"out/dst.mp4", true);
  const std::error_code unverified = Copy(u"src.mp4", u"out/new.mp4", false);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(verified, std::errc::file_too_large);
  EXPECT_EQ(unverified, std::errc::file_too_large);
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = good copy\n");
  EXPECT_EQ(tree.ReadFile(u"src.mp4"), clip);
}

TEST_F(CopyQueueTest, ClipThatChangesWhileItIsCopiedIsNotKept) {
  tree.WriteFile(u"src.mp4", std::string(1 << 20, 'a'));
  tree.WriteFile(u"dst.mp4", "earlier");
  // A camera still writing: the clip grows while the copy reads it.
  struct Grow final : ByteObserver {
    std::string path;
    bool OnBytes(std::uint64_t) override {
      const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
      EXPECT_EQ(::write(fd, "more", 4), 4);
      ::close(fd);
      return true;
    }
  } grow;
  grow.path = platform::ToNativeName(tree.Path(u"src.mp4"));
  for (bool verify : {true, false}) {
    std::uint64_t ticket = 0;
    EXPECT_EQ(queue.Copy(tree.Path(u"src.mp4"), tree.Path(u"dst.mp4"), ModeOf(verify, verify), &grow, ticket),
              platform::Errc::kSourceChanged);
  }
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.ReadFile(u"dst.mp4"), "earlier");
  EXPECT_TRUE(Temporaries(u"").empty());
}

// A buffer read into past the cache takes memory only where a read fills it: a small file leaves
// the rest untouched, and a file that fills it gets large pages where the system has them (so
// that one read is one disk request). The hash is the same either way.
TEST_F(CopyQueueTest, ReadBackBufferTakesLargePagesOnlyForFilesThatFillIt) {
  const auto hashOf = [&](const char16_t* name, const std::string& content, platform::CopyBuffer& buffer) {
    tree.WriteFile(name, content);
    std::unique_ptr<platform::OpenFile> file;
    ASSERT_FALSE(fs->OpenFromDisk(tree.Path(name), file));
    std::string hash;
    ASSERT_FALSE(pass::HashWholeFile(*file, buffer, hash, nullptr, nullptr));
    platform::ContentHasher expected;
    expected.Update(content.data(), content.size());
    EXPECT_EQ(hash, expected.Hex());
  };
  const auto residentPages = [](platform::CopyBuffer& buffer) {
    std::vector<unsigned char> pages(buffer.size() / 4096);
    EXPECT_EQ(::mincore(buffer.data(), buffer.size(), pages.data()), 0);
    return std::count_if(pages.begin(), pages.end(), [](unsigned char page) { return (page & 1) != 0; });
  };
  // The kilobytes of large pages in the mapping that holds the buffer.
  const auto largeKiB = [](platform::CopyBuffer& buffer) {
    std::ifstream maps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(buffer.data());
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
      std::uintptr_t start = 0, end = 0;
      if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " ", &start, &end) == 2) inside = start <= at && at < end;
      long kib = 0;
      if (inside && std::sscanf(line.c_str(), "AnonHugePages: %ld kB", &kib) == 1) return kib;
    }
    return -1L;
  };
  platform::CopyBuffer buffer;
  hashOf(u"small.mp4", std::string(5000, 's'), buffer);
  EXPECT_LE(residentPages(buffer), 2);  // the two blocks read
  std::string large(6u << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 / 4096);
  hashOf(u"large.mp4", large, buffer);
  std::ifstream huge("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(huge, modes);
  if (modes.empty() || modes.find("[never]") != std::string::npos) {
    GTEST_SKIP() << "this system gives no large pages (transparent huge pages are off)";
  }
  EXPECT_GE(largeKiB(buffer), 2048) << "the buffer filled whole is not in large pages";
}

#endif  // !_WIN32

}  // namespace
}  // namespace marlowin

// The real file system's copies: staged beside the target, put in place by Commit, proven
// with verification, skipped when already there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/NativeName.h"
#endif

namespace marlowin::sys {
namespace {

using testing::TempTree;

class StagedCopy : public ::testing::Test {
 protected:
  std::unique_ptr<FileSystem> fs = MakeRealFileSystem();
  TempTree tree;

  std::error_code Copy(const char16_t* from, const char16_t* to, bool verify = true, bool prove = false,
                       CopyResult* out = nullptr) {
    CopyRequest request;
    request.verify = verify;
    request.proveExisting = prove;
    CopyResult result;
    const std::error_code error = fs->Copy(tree.Path(from), tree.Path(to), request, result);
    if (out) *out = result;
    return error;
  }
  std::vector<CommittedCopy> Commit() {
    std::vector<CommittedCopy> copies;
    (void)fs->Commit(copies, nullptr);
    return copies;
  }
  // The temporaries of a folder: the staged copies not yet in place.
  std::vector<std::u16string> Temporaries(const char16_t* folder) {
    std::vector<FolderEntry> entries;
    EXPECT_FALSE(ListFolder(tree.Path(folder), entries));
    std::vector<std::u16string> names;
    for (const FolderEntry& entry : entries) {
      if (IsTemporaryName(entry.name)) names.push_back(entry.name);
    }
    return names;
  }
  FileStatus Status(const char16_t* path) {
    FileStatus status;
    EXPECT_FALSE(GetStatus(tree.Path(path), status));
    return status;
  }
};

TEST(ContentHash, IsXxh3With128BitsAsXxhsumPrintsIt) {
  ContentHasher empty;
  EXPECT_EQ(empty.Hex(), "99aa06d3014798d86001c324468d497f");
  ContentHasher pieces, whole;
  pieces.Update("clip ", 5);
  pieces.Update("bytes", 5);
  whole.Update("clip bytes", 10);
  EXPECT_EQ(pieces.Hex(), whole.Hex());
  EXPECT_NE(pieces.Hex(), empty.Hex());
}

TEST_F(StagedCopy, TargetIsReplacedOnlyAtCommitAndNothingIsLeftBehind) {
  tree.WriteFile(u"src.mp4", "new clip");
  tree.WriteFile(u"out/dst.mp4", "old copy, longer than the new one");
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4"));
  EXPECT_EQ(tree.ReadFile(u"out/dst.mp4"), "old copy, longer than the new one");
  EXPECT_EQ(Temporaries(u"out").size(), 1u);
  // A copy of the staged copy reads the staged bytes.
  ASSERT_FALSE(Copy(u"out/dst.mp4", u"out/second.mp4"));
  const std::vector<CommittedCopy> copies = Commit();
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_FALSE(copies[0].error);
  EXPECT_FALSE(copies[1].error);
  ContentHasher expected;
  expected.Update("new clip", 8);
  EXPECT_EQ(copies[0].hash, expected.Hex());
  EXPECT_EQ(copies[1].hash, expected.Hex());
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = new clip\nsecond.mp4 = new clip\n");
  EXPECT_EQ(tree.ReadFile(u"src.mp4"), "new clip");
}

TEST_F(StagedCopy, FailedAndAbandonedCopiesKeepTheEarlierCopy) {
  tree.WriteFile(u"out/dst.mp4", "good copy");
  tree.MakeFolder(u"folder.mp4");
  EXPECT_EQ(Copy(u"missing.mp4", u"out/dst.mp4"), std::errc::no_such_file_or_directory);
  EXPECT_EQ(Copy(u"folder.mp4", u"out/dst.mp4"), Errc::kNotARegularFile);
  EXPECT_EQ(Copy(u"out/dst.mp4", u"nowhere/dst.mp4"), std::errc::no_such_file_or_directory);
  tree.WriteFile(u"src.mp4", "clip");
  tree.MakeFolder(u"out/taken.mp4");
  EXPECT_EQ(Copy(u"src.mp4", u"out/taken.mp4"), std::errc::is_a_directory);
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4"));
  fs->Abandon();
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = good copy\ntaken.mp4/\n");
}

TEST_F(StagedCopy, CopyInPlaceIsNotWrittenAgainButAChangedSourceIs) {
  tree.WriteFile(u"src.mp4", "clip");
  ASSERT_FALSE(Copy(u"src.mp4", u"dst.mp4"));
  ASSERT_EQ(Commit().size(), 1u);
  const FileStatus first = Status(u"dst.mp4");
  EXPECT_EQ(first.modified, Status(u"src.mp4").modified);

  CopyResult result;
  ASSERT_FALSE(Copy(u"src.mp4", u"dst.mp4", true, false, &result));
  EXPECT_TRUE(result.alreadyThere);
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(Status(u"dst.mp4").fileId, first.fileId);

  // Asked to prove it (its clip is about to be marked): hashed, still not rewritten.
  ASSERT_FALSE(Copy(u"src.mp4", u"dst.mp4", true, true, &result));
  EXPECT_TRUE(result.alreadyThere);
  const std::vector<CommittedCopy> proven = Commit();
  ASSERT_EQ(proven.size(), 1u);
  EXPECT_FALSE(proven[0].error);
  EXPECT_EQ(Status(u"dst.mp4").fileId, first.fileId);

  tree.WriteFile(u"src.mp4", "clap");  // same size, a new time
  ASSERT_FALSE(Copy(u"src.mp4", u"dst.mp4", true, false, &result));
  EXPECT_FALSE(result.alreadyThere);
  ASSERT_EQ(Commit().size(), 1u);
  EXPECT_EQ(tree.ReadFile(u"dst.mp4"), "clap");
}

TEST_F(StagedCopy, CopyThatDiffersFromItsSourceIsCaughtAndRemoved) {
  tree.WriteFile(u"src.mp4", "the only take");
  tree.WriteFile(u"out/dst.mp4", "an earlier good copy");
  ASSERT_FALSE(Copy(u"src.mp4", u"out/dst.mp4"));
  // The staged bytes change between the write and the read-back, as a bad cable would have it.
  const std::vector<std::u16string> staged = Temporaries(u"out");
  ASSERT_EQ(staged.size(), 1u);
  tree.WriteFile(u"out/" + staged[0], "the only tak3");
  const std::vector<CommittedCopy> copies = Commit();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].error, Errc::kCopyDiffers);
  EXPECT_EQ(Describe(copies[0].error), "copy differs from the source");
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = an earlier good copy\n");

  // A copy found in place that differs from its clip is no copy either.
  tree.WriteFile(u"good.mp4", "the only take");
  tree.WriteFile(u"bad.mp4", "the only tak3");
  ASSERT_FALSE(Copy(u"good.mp4", u"bad.mp4"));
  ASSERT_EQ(Commit().size(), 1u);
  tree.WriteFile(u"bad.mp4", "the only tak3");
#ifndef _WIN32
  const FileStatus good = Status(u"good.mp4");
  const struct timespec times[2] = {{good.accessed.seconds, good.accessed.nanoseconds},
                                    {good.modified.seconds, static_cast<long>(good.modified.nanoseconds)}};
  ASSERT_EQ(::utimensat(AT_FDCWD, ToNativeName(tree.Path(u"bad.mp4")).c_str(), times, 0), 0);
  CopyResult result;
  ASSERT_FALSE(Copy(u"good.mp4", u"bad.mp4", true, true, &result));
  EXPECT_TRUE(result.alreadyThere);
  const std::vector<CommittedCopy> proven = Commit();
  ASSERT_EQ(proven.size(), 1u);
  EXPECT_EQ(proven[0].error, Errc::kCopyDiffers);
  EXPECT_FALSE(tree.Exists(u"bad.mp4"));
#endif
}

#ifndef _WIN32

TEST_F(StagedCopy, CopyKeepsPermissionBitsAndModificationTime) {
  tree.WriteFile(u"src.mp4", "clip");
  const std::string source = ToNativeName(tree.Path(u"src.mp4"));
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

TEST_F(StagedCopy, CopyThatFailsHalfWayLeavesNoPartialFileAndKeepsTheOldTarget) {
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

TEST_F(StagedCopy, CopyOntoItselfThroughALinkedFolderLeavesItIntact) {
  tree.WriteFile(u"clips/v02_hires.mp4", "the only take");
  ASSERT_EQ(::symlink(ToNativeName(tree.Path(u"clips")).c_str(), ToNativeName(tree.Path(u"linked")).c_str()), 0);
  CopyResult result;
  EXPECT_FALSE(Copy(u"clips/v02_hires.mp4", u"linked/v02_hires.mp4", true, true, &result));
  EXPECT_TRUE(result.alreadyThere);
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.Dump(u"clips"), "v02_hires.mp4 = the only take\n");
}

TEST_F(StagedCopy, ClipThatChangesWhileItIsCopiedIsNotKept) {
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
  grow.path = ToNativeName(tree.Path(u"src.mp4"));
  for (bool verify : {true, false}) {
    CopyRequest request;
    request.verify = verify;
    request.progress = &grow;
    CopyResult result;
    EXPECT_EQ(fs->Copy(tree.Path(u"src.mp4"), tree.Path(u"dst.mp4"), request, result), Errc::kSourceChanged);
  }
  EXPECT_TRUE(Commit().empty());
  EXPECT_EQ(tree.ReadFile(u"dst.mp4"), "earlier");
  EXPECT_TRUE(Temporaries(u"").empty());
}

#endif  // !_WIN32

}  // namespace
}  // namespace marlowin::sys

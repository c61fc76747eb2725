// The contract of platform/Files.h, on real folders, the same on every platform: each failure
// is checked for its reason, not only for having failed.
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "tests/support/TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/NativeName.h"
#include "platform/Unix/HashBehind.h"
#endif

#include "tests/platform/FilesFixture.h"

namespace marlowin::platform {
namespace {

using namespace files_test;  // NOLINT: the shared fixture of these tests

TEST_F(FilesTest, ListsInNtfsOrderAndTellsFoldersFromFiles) {
  // Letters compare as capitals, so "_" (after "Z") follows them and "a" and "A" sit together.
  for (const char16_t* name : {u"_z", u"B", u"Ab", u"aa", u"\u00e9"}) tree.WriteFile(std::u16string(u"f/") + name, "x");
  tree.MakeFolder(u"f/sub");
  EXPECT_EQ(Names(u"f"), (std::vector<std::u16string>{u"aa", u"Ab", u"B", u"sub/", u"_z", u"\u00e9"}));
  tree.MakeFolder(u"empty");
  EXPECT_TRUE(Names(u"empty").empty());

  std::vector<FolderEntry> entries{{u"stale", false}};
  EXPECT_EQ(ListFolder(P(u"missing"), entries), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(entries.empty());
  entries = {{u"stale", false}};
  EXPECT_EQ(ListFolder(P(u"f/B"), entries), std::errc::not_a_directory);
  EXPECT_TRUE(entries.empty());
#ifdef _WIN32
  EXPECT_FALSE(ListFolder(u"C:\\", entries));  // a drive's root has no "." and ".."
  EXPECT_FALSE(entries.empty());
#endif
}

TEST_F(FilesTest, StatusOfAFileAFolderAndAMissingPath) {
  tree.WriteFile(u"clip.mp4", "12345");
  tree.WriteFile(u"other.mp4", "1");
  FileStatus file, folder, other, opened;
  ASSERT_FALSE(GetStatus(P(u"clip.mp4"), file));
  EXPECT_EQ(file.type, FileType::kFile);
  EXPECT_EQ(file.size, 5u);
  EXPECT_GT(file.modified.seconds, 1'500'000'000);
  ASSERT_FALSE(GetStatus(tree.Root(), folder));
  EXPECT_EQ(folder.type, FileType::kFolder);
  EXPECT_EQ(GetStatus(P(u"missing"), other), std::errc::no_such_file_or_directory);
  EXPECT_EQ(GetStatus(P(u"missing/clip.mp4"), other), std::errc::no_such_file_or_directory);

  File reading;
  ASSERT_FALSE(reading.OpenForReading(P(u"clip.mp4")));
  ASSERT_FALSE(reading.Status(opened));
  EXPECT_TRUE(opened.IsSameFileAs(file));
  ASSERT_FALSE(GetStatus(P(u"other.mp4"), other));
  EXPECT_FALSE(other.IsSameFileAs(file));
}

TEST_F(FilesTest, LooksUpExactPathsWithoutWildcardsAndRootFolders) {
  tree.WriteFile(u"clip.mp4", "x");
  EXPECT_FALSE(LookUp(P(u"clip.mp4")));
  EXPECT_FALSE(LookUp(tree.Root()));
  EXPECT_EQ(LookUp(P(u"clip")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(LookUp(P(u"c*")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(LookUp(P(u"clip.mp?")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(LookUp(u""), std::errc::no_such_file_or_directory);
#ifdef _WIN32
  EXPECT_FALSE(LookUp(u"C:\\"));
  EXPECT_FALSE(LookUp(u"C:"));
#else
  EXPECT_FALSE(LookUp(u"/"));
#endif
}

TEST_F(FilesTest, MakeFolderTellsAFolderFromAFileInTheWay) {
  EXPECT_FALSE(MakeFolder(P(u"new")));
  FileStatus status;
  ASSERT_FALSE(GetStatus(P(u"new"), status));
  EXPECT_EQ(status.type, FileType::kFolder);
  EXPECT_EQ(MakeFolder(P(u"new")), std::errc::file_exists);
  tree.WriteFile(u"file", "x");
  EXPECT_EQ(MakeFolder(P(u"file")), std::errc::not_a_directory);
  EXPECT_EQ(MakeFolder(P(u"missing/new")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(tree.Dump(), "file = x\nnew/\n");
}

TEST_F(FilesTest, RenameNeverReplacesAndMoveReplaces) {
  tree.WriteFile(u"v02.mp4", "clip");
  tree.WriteFile(u"v02_hires.mp4", "marked");
  EXPECT_EQ(RenameNoReplace(P(u"v02.mp4"), P(u"v02_hires.mp4")), std::errc::file_exists);
  EXPECT_EQ(tree.Dump(), "v02.mp4 = clip\nv02_hires.mp4 = marked\n");
  EXPECT_EQ(RenameNoReplace(P(u"missing"), P(u"v03.mp4")), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(RenameNoReplace(P(u"v02.mp4"), P(u"v03.mp4")));
  EXPECT_EQ(tree.Dump(), "v02_hires.mp4 = marked\nv03.mp4 = clip\n");

  EXPECT_FALSE(MoveReplacing(P(u"v03.mp4"), P(u"v02_hires.mp4")));
  EXPECT_EQ(tree.Dump(), "v02_hires.mp4 = clip\n");
  EXPECT_EQ(MoveReplacing(P(u"v03.mp4"), P(u"v02_hires.mp4")), std::errc::no_such_file_or_directory);
}

TEST_F(FilesTest, RemovesFilesAndOnlyEmptyFolders) {
  tree.WriteFile(u"f/clip.mp4", "x");
  EXPECT_EQ(RemoveEmptyFolder(P(u"f")), std::errc::directory_not_empty);
  EXPECT_EQ(tree.Dump(), "f/\nf/clip.mp4 = x\n");
  EXPECT_FALSE(RemoveFile(P(u"f/clip.mp4")));
  EXPECT_EQ(RemoveFile(P(u"f/clip.mp4")), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(RemoveEmptyFolder(P(u"f")));
  EXPECT_EQ(tree.Dump(), "");
}

TEST_F(FilesTest, TemporaryIsKeptFromRemoveLeftoverWhileOpen) {
  File file;
  std::u16string path;
  ASSERT_FALSE(file.CreateTemporary(tree.Root(), path));
  const std::u16string name = path.substr(tree.Root().size() + 1);
  EXPECT_EQ(path, P(name));
  EXPECT_TRUE(IsTemporaryName(name));
  ASSERT_FALSE(file.Write("copy", 4));
  EXPECT_EQ(RemoveLeftover(path), platform::Errc::kLeftoverInUse);
  EXPECT_EQ(tree.ReadFile(name), "copy");
  ASSERT_FALSE(file.Close());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(RemoveLeftover(path));
  EXPECT_FALSE(tree.Exists(name));
  EXPECT_EQ(RemoveLeftover(path), std::errc::no_such_file_or_directory);

  // Taken over for writing, an existing file is held the same way.
  tree.WriteFile(u".marlowin-copy-old", "old");
  ASSERT_FALSE(file.OpenForWriting(P(u".marlowin-copy-old")));
  EXPECT_EQ(RemoveLeftover(P(u".marlowin-copy-old")), platform::Errc::kLeftoverInUse);
  ASSERT_FALSE(file.Close());

  const std::u16string fresh = NewTemporaryPath(tree.Root());
  EXPECT_TRUE(IsTemporaryName(fresh.substr(tree.Root().size() + 1)));
  EXPECT_NE(fresh, NewTemporaryPath(tree.Root()));
  EXPECT_FALSE(tree.Exists(fresh.substr(tree.Root().size() + 1)));
}

TEST_F(FilesTest, LockIsExclusiveAndLeavesTheFolderUsable) {
  std::unique_ptr<FolderLock> first, second;
  ASSERT_FALSE(LockFolder(tree.Root(), first));
  EXPECT_EQ(LockFolder(tree.Root(), second), platform::Errc::kFolderInUse);
  EXPECT_EQ(second, nullptr);

  // The pass itself works on the locked folder's entries.
  tree.WriteFile(u"clip.mp4", "clip");
  EXPECT_FALSE(MakeFolder(P(u"video")));
  EXPECT_FALSE(RenameNoReplace(P(u"clip.mp4"), P(u"v01.mp4")));
  EXPECT_FALSE(RenameNoReplace(P(u"video"), P(u"adl")));
  File copy;
  ASSERT_FALSE(CopyToNewFile(P(u"v01.mp4"), P(u"adl/.marlowin-copy-1"), kGoOn, copy));
  ASSERT_FALSE(copy.Close());
  EXPECT_FALSE(MoveReplacing(P(u"adl/.marlowin-copy-1"), P(u"v01_hires.mp4")));
  EXPECT_EQ(Names(u""), (std::vector<std::u16string>{u"adl/", u"v01.mp4", u"v01_hires.mp4"}));
  EXPECT_FALSE(RemoveFile(P(u"v01.mp4")));
  EXPECT_FALSE(RemoveEmptyFolder(P(u"adl")));
  EXPECT_EQ(tree.Dump(), "v01_hires.mp4 = clip\n");

  first.reset();
  EXPECT_FALSE(LockFolder(tree.Root(), second));
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(LockFolder(P(u"missing"), first), std::errc::no_such_file_or_directory);
}

TEST_F(FilesTest, ReadsBackFromTheDiskExactlyWhatWasWritten) {
  for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, (3u << 20) + 12345u}) {
    SCOPED_TRACE(size);
    const std::string content = Content(size);
    Write(u"clip.mp4", content);
    File file;
    ASSERT_FALSE(file.OpenForReading(P(u"clip.mp4")));
    EXPECT_TRUE(Same(ReadToEnd(file, 1 << 20, false), content));
    ASSERT_FALSE(file.OpenFromDisk(P(u"clip.mp4")));
    EXPECT_TRUE(Same(ReadToEnd(file, 4u << 20, true), content));  // whole sectors where it can
    ASSERT_FALSE(file.OpenFromDisk(P(u"clip.mp4")));
    EXPECT_TRUE(Same(ReadToEnd(file, 1000, false), content));  // every step starts mid-sector
    ASSERT_FALSE(file.OpenFromDisk(P(u"clip.mp4")));
    EXPECT_TRUE(Same(ReadToEnd(file, 8192, true), content));
    EXPECT_FALSE(file.Close());
  }
}

TEST_F(FilesTest, OnlyRegularFilesAreOpenedForReading) {
  tree.MakeFolder(u"folder");
  File file;
  EXPECT_EQ(file.OpenForReading(P(u"folder")), platform::Errc::kNotARegularFile);
  EXPECT_EQ(file.OpenFromDisk(P(u"folder")), platform::Errc::kNotARegularFile);
  EXPECT_EQ(file.OpenForReading(P(u"missing")), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(file.IsOpen());
#ifdef _WIN32
  EXPECT_EQ(file.OpenForReading(u"\\\\.\\NUL"), platform::Errc::kNotARegularFile);
#else
  ASSERT_EQ(::mkfifo(ToNativeName(P(u"pipe")).c_str(), 0600), 0);
  EXPECT_EQ(file.OpenForReading(P(u"pipe")), platform::Errc::kNotARegularFile);  // no writer: must not wait
  EXPECT_EQ(file.OpenFromDisk(P(u"pipe")), platform::Errc::kNotARegularFile);
#endif
}

TEST_F(FilesTest, TakesTheSourcesTimes) {
  File file;
  std::u16string path;
  ASSERT_FALSE(file.CreateTemporary(tree.Root(), path));
  ASSERT_FALSE(file.Write("copy", 4));
  FileStatus source;
  source.modified = {1'600'000'000, 123'456'700};  // whole 100 ns: what NTFS keeps
  source.accessed = {1'500'000'000, 500};
  source.permissions = 0640;
  ASSERT_FALSE(file.TakeAttributes(source));
  FileStatus status;
  ASSERT_FALSE(file.Status(status));
  EXPECT_EQ(status.modified, source.modified);
  EXPECT_EQ(status.accessed, source.accessed);
  ASSERT_FALSE(file.Close());
  ASSERT_FALSE(GetStatus(path, status));
  EXPECT_EQ(status.modified, source.modified);
  EXPECT_EQ(status.size, 4u);
#ifndef _WIN32
  EXPECT_EQ(status.permissions & 0777, 0640u);
#endif
}

}  // namespace
}  // namespace marlowin::platform

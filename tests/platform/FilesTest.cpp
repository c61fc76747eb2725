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

namespace marlowin::platform {
namespace {

using marlowin::testing::TempTree;

const std::function<bool(std::uint64_t)> kGoOn = [](std::uint64_t) { return true; };

std::filesystem::path FsPath(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  return std::filesystem::path(ToNativeName(path));
#endif
}

// Bytes that differ at every position, so that a shifted or repeated block shows.
std::string Content(std::size_t size) {
  std::string content(size, '\0');
  std::uint32_t x = static_cast<std::uint32_t>(size) + 1;
  for (char& c : content) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return content;
}

// Equal contents, without printing megabytes when they differ.
::testing::AssertionResult Same(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", the first difference at " << at;
}

// Reads to the end in steps of `step` bytes, into a buffer aligned to 4096 (or one byte past that).
std::string ReadToEnd(File& file, std::size_t step, bool aligned) {
  std::vector<char> memory(step + 8192);
  char* buffer = memory.data() + (4096 - reinterpret_cast<std::uintptr_t>(memory.data()) % 4096) + (aligned ? 0 : 1);
  std::string content;
  for (;;) {
    std::size_t got = 0;
    const std::error_code error = file.Read(buffer, step, got);
    EXPECT_FALSE(error) << Describe(error);
    if (error || got == 0) return content;
    content.append(buffer, got);
  }
}

class FilesTest : public ::testing::Test {
 protected:
  TempTree tree;

  std::u16string P(std::u16string_view relative) const { return tree.Path(relative); }

  std::vector<std::u16string> Names(std::u16string_view folder) const {
    std::vector<FolderEntry> entries;
    const std::error_code error = ListFolder(P(folder), entries);
    EXPECT_FALSE(error) << Describe(error);
    std::vector<std::u16string> names;
    for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? u"/" : u""));
    return names;
  }

  // A file written through a temporary, closed.
  void Write(std::u16string_view relative, const std::string& content) const {
    File file;
    std::u16string temporary;
    ASSERT_FALSE(file.CreateTemporary(tree.Root(), temporary));
    ASSERT_FALSE(file.Write(content.data(), content.size()));
    ASSERT_FALSE(file.Flush());
    ASSERT_FALSE(file.Close());
    ASSERT_FALSE(MoveReplacing(temporary, P(relative)));
  }
};

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

TEST_F(FilesTest, CopiesIntoANewFileWithProgress) {
  const std::string content = Content((3u << 20) + 5);
  tree.WriteFile(u"v01.mp4", content);
  std::vector<std::uint64_t> reports;
  File target;
  ASSERT_FALSE(CopyToNewFile(P(u"v01.mp4"), P(u"copy"), [&](std::uint64_t done) {
    reports.push_back(done);
    return true;
  }, target));
  ASSERT_TRUE(target.IsOpen());  // open for writing, held like a temporary
  EXPECT_EQ(RemoveLeftover(P(u"copy")), platform::Errc::kLeftoverInUse);
  ASSERT_FALSE(target.Write("+", 1));
  ASSERT_FALSE(target.Close());
  EXPECT_TRUE(Same(tree.ReadFile(u"copy"), content + "+"));  // written on at its end
  ASSERT_FALSE(reports.empty());
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const std::uint64_t before = i == 0 ? 0 : reports[i - 1];
    EXPECT_GE(reports[i], before);
    EXPECT_LE(reports[i] - before, 64u << 20);
  }
  EXPECT_EQ(reports.back(), content.size());

  // An existing target is refused and left as it was.
  tree.WriteFile(u"taken", "old");
  EXPECT_EQ(CopyToNewFile(P(u"v01.mp4"), P(u"taken"), kGoOn, target), std::errc::file_exists);
  EXPECT_FALSE(target.IsOpen());
  EXPECT_EQ(tree.ReadFile(u"taken"), "old");

  // Stopped: nothing is left behind.
  int calls = 0;
  const auto stop = [&](std::uint64_t) {
    ++calls;
    return false;
  };
  EXPECT_EQ(CopyToNewFile(P(u"v01.mp4"), P(u"stopped"), stop, target), platform::Errc::kCancelled);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(tree.Exists(u"stopped"));
  EXPECT_FALSE(target.IsOpen());
  EXPECT_EQ(CopyToNewFile(P(u"missing"), P(u"none"), kGoOn, target), std::errc::no_such_file_or_directory);
  EXPECT_EQ(tree.ReadFile(u"copy"), content + "+");
  EXPECT_EQ(tree.ReadFile(u"v01.mp4"), content);
  EXPECT_EQ(tree.Dump().find("stopped"), std::string::npos);
}

#ifndef _WIN32
// The hash behind a copy takes what was copied in pieces, in order, however the copy reports
// it; a clip cut shorter than what was reported copied fails, and one given up on stops.
TEST_F(FilesTest, HashBehindTheCopyIsOfExactlyTheBytesReported) {
  const std::string content = Content((5u << 20) + 3);
  tree.WriteFile(u"v01.mp4", content);
  const int fd = ::open(ToNativeName(P(u"v01.mp4")).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ContentHasher expected, firstPart;
  expected.Update(content.data(), content.size());
  firstPart.Update(content.data(), 3u << 20);
  std::vector<char> buffer;
  {
    ContentHasher hashed;
    HashBehind behind(fd, hashed, buffer);
    for (std::uint64_t copied : {std::uint64_t{1}, std::uint64_t{1} << 20, std::uint64_t{1} << 20,
                                 std::uint64_t{4} << 20, std::uint64_t{content.size()}}) {
      behind.Reached(copied);
    }
    EXPECT_FALSE(behind.Finish());
    EXPECT_EQ(hashed.Hex(), expected.Hex());
  }
  {
    ContentHasher hashed;
    HashBehind behind(fd, hashed, buffer);
    behind.Reached(3u << 20);
    EXPECT_FALSE(behind.Finish());
    EXPECT_EQ(hashed.Hex(), firstPart.Hex());  // nothing past what was reported
  }
  {
    ContentHasher hashed;
    HashBehind abandoned(fd, hashed, buffer);  // stopped: ends without a Finish
    abandoned.Reached(content.size());
  }
  ASSERT_EQ(::truncate(ToNativeName(P(u"v01.mp4")).c_str(), 1 << 20), 0);
  ContentHasher cut;
  HashBehind behind(fd, cut, buffer);
  behind.Reached(content.size());
  EXPECT_EQ(behind.Finish(), platform::Errc::kSourceChanged);
  ::close(fd);
}
#endif

TEST_F(FilesTest, CopyHashesEveryByteItCopiesInOrder) {
  // Over more than one step of the copy, with a tail that is no whole block.
  const std::string content = Content((9u << 20) + 7);
  tree.WriteFile(u"v01.mp4", content);
  ContentHasher hashed, expected;
  expected.Update(content.data(), content.size());
  File target;
  const std::error_code error = CopyToNewFile(P(u"v01.mp4"), P(u"copy"), kGoOn, target, &hashed);
#ifdef _WIN32
  EXPECT_EQ(error, std::errc::function_not_supported);  // the caller reads and writes itself
  EXPECT_FALSE(target.IsOpen());
  EXPECT_FALSE(tree.Exists(u"copy"));
#else
  ASSERT_FALSE(error);
  ASSERT_FALSE(target.Close());
  EXPECT_EQ(hashed.Hex(), expected.Hex());
  EXPECT_TRUE(Same(tree.ReadFile(u"copy"), content));
  // An empty clip hashes as nothing.
  tree.WriteFile(u"empty.mp4", "");
  ContentHasher empty;
  ASSERT_FALSE(CopyToNewFile(P(u"empty.mp4"), P(u"empty copy"), kGoOn, target, &empty));
  EXPECT_EQ(empty.Hex(), ContentHasher().Hex());

  // Stopped after its first step, or cut short under it: the hash behind the copy stops with it,
  // and no hash of part of a clip passes for the clip's.
  ContentHasher stopped;
  EXPECT_EQ(CopyToNewFile(P(u"v01.mp4"), P(u"stopped"), [](std::uint64_t) { return false; }, target, &stopped),
            platform::Errc::kCancelled);
  EXPECT_FALSE(tree.Exists(u"stopped"));
  tree.WriteFile(u"v02.mp4", content);
  const std::string cutPath = ToNativeName(P(u"v02.mp4"));
  const auto cut = [&](std::uint64_t) { return ::truncate(cutPath.c_str(), 1 << 20) == 0; };
  ContentHasher partial;
  const std::error_code cutError = CopyToNewFile(P(u"v02.mp4"), P(u"cut copy"), cut, target, &partial);
  if (!cutError) {
    FileStatus copied;
    ASSERT_FALSE(target.Status(copied));
    ASSERT_FALSE(target.Close());
    EXPECT_LT(copied.size, content.size());  // shorter: the caller sees the change
  } else {
    EXPECT_EQ(cutError, platform::Errc::kSourceChanged);
  }
  EXPECT_NE(partial.Hex(), expected.Hex());
#endif
}

TEST_F(FilesTest, CopyRefusesWhatIsNoRegularFileAndTakesOverReadOnlyOnes) {
  tree.MakeFolder(u"folder");
  File target;
  EXPECT_EQ(CopyToNewFile(P(u"folder"), P(u"copy"), kGoOn, target), platform::Errc::kNotARegularFile);
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(ToNativeName(P(u"pipe")).c_str(), 0600), 0);
  EXPECT_EQ(CopyToNewFile(P(u"pipe"), P(u"copy"), kGoOn, target), platform::Errc::kNotARegularFile);
#endif
  EXPECT_FALSE(tree.Exists(u"copy"));

  // A read-only clip (as cameras write them) gives a copy that can still be written and replaced.
  tree.WriteFile(u"v01.mp4", "clip");
  namespace fs = std::filesystem;
  const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(FsPath(P(u"v01.mp4")), writable, fs::perm_options::remove);
  ASSERT_FALSE(CopyToNewFile(P(u"v01.mp4"), P(u"copy"), kGoOn, target));
#ifdef _WIN32
  // Windows refuses to write or replace a read-only file (Wine lets root do both).
  EXPECT_NE(fs::status(FsPath(P(u"copy"))).permissions() & fs::perms::owner_write, fs::perms::none);
#endif
  EXPECT_FALSE(target.Write("+", 1));
  EXPECT_FALSE(target.Close());
  EXPECT_FALSE(MoveReplacing(P(u"copy"), P(u"copy2")));
  EXPECT_EQ(tree.ReadFile(u"copy2"), "clip+");
  fs::permissions(FsPath(P(u"v01.mp4")), writable, fs::perm_options::add);
}

}  // namespace
}  // namespace marlowin::platform

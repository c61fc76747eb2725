// The kernel's copy of a whole file into a new one, and the hash behind it: exactly the bytes
// copied, progress as it goes, a stop, a clip cut shorter.
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

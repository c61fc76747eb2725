#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

class FileSystemTest : public ::testing::Test {
 protected:
  FileSystem& fs = RealFileSystem();
  TempTree tree;

  std::vector<std::u16string> Names(const std::u16string& relative) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(fs.ListFolder(tree.Path(relative), entries));
    std::vector<std::u16string> names;
    for (const FolderEntry& entry : entries) names.push_back(entry.name + (entry.isFolder ? u"/" : u""));
    return names;
  }
};

TEST_F(FileSystemTest, ListsInUtf16OrderAndTellsFoldersFromFiles) {
  // UTF-16 order differs from UTF-8 byte order: U+FF21 sorts after the surrogate pair.
  for (const char16_t* name : {u"b", u"a", u"Z", u"\u00e9", u"\U0001F600", u"\uFF21"}) {
    tree.WriteFile(std::u16string(u"f/") + name, "x");
  }
  tree.MakeFolder(u"f/sub");
  EXPECT_EQ(Names(u"f"), (std::vector<std::u16string>{u"Z", u"a", u"b", u"sub/", u"\u00e9",
                                                       u"\U0001F600", u"\uFF21"}));
  std::vector<FolderEntry> entries{{u"stale", false}};
  EXPECT_FALSE(fs.ListFolder(tree.Path(u"missing"), entries));
  EXPECT_TRUE(entries.empty());
  tree.MakeFolder(u"empty");
  EXPECT_TRUE(Names(u"empty").empty());
}

TEST_F(FileSystemTest, LooksUpExactPathsOnly) {
  tree.WriteFile(u"clip.mp4", "x");
  EXPECT_TRUE(fs.Exists(tree.Path(u"clip.mp4")));
  EXPECT_TRUE(fs.Exists(tree.Root()));
  EXPECT_FALSE(fs.Exists(tree.Path(u"clip")));
  EXPECT_FALSE(fs.Exists(tree.Path(u"c*")));
  EXPECT_FALSE(fs.Exists(u""));
#ifdef _WIN32
  EXPECT_TRUE(fs.Exists(u"C:\\"));  // a drive's root folder
  EXPECT_TRUE(fs.Exists(u"C:"));
#else
  EXPECT_TRUE(fs.Exists(u"/"));
#endif
}

TEST_F(FileSystemTest, CopyReplacesTheTargetAndLeavesNoTemporaryFile) {
  tree.WriteFile(u"src.mp4", "new clip");
  tree.WriteFile(u"out/dst.mp4", "old copy, longer than the new one");
  EXPECT_TRUE(fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"out/dst.mp4")));
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = new clip\n");
  EXPECT_TRUE(fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"out/fresh.mp4")));
  EXPECT_EQ(tree.ReadFile(u"out/fresh.mp4"), "new clip");
  EXPECT_EQ(tree.ReadFile(u"src.mp4"), "new clip");
}

TEST_F(FileSystemTest, FailedCopyKeepsTheEarlierCopy) {
  tree.WriteFile(u"out/dst.mp4", "good copy");
  tree.MakeFolder(u"folder.mp4");
  EXPECT_FALSE(fs.CopyReplacing(tree.Path(u"missing.mp4"), tree.Path(u"out/dst.mp4")));
  EXPECT_FALSE(fs.CopyReplacing(tree.Path(u"folder.mp4"), tree.Path(u"out/dst.mp4")));
  EXPECT_FALSE(fs.CopyReplacing(tree.Path(u"out/dst.mp4"), tree.Path(u"nowhere/dst.mp4")));
  tree.WriteFile(u"src.mp4", "clip");
  tree.MakeFolder(u"out/taken.mp4");
  EXPECT_FALSE(fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"out/taken.mp4")));
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = good copy\ntaken.mp4/\n");
}

TEST_F(FileSystemTest, RenameNeverReplaces) {
  tree.WriteFile(u"v02.mp4", "first");
  tree.WriteFile(u"v02_hires.mp4", "second");
  EXPECT_FALSE(fs.RenameNoReplace(tree.Path(u"v02.mp4"), tree.Path(u"v02_hires.mp4")));
  EXPECT_EQ(tree.Dump(), "v02.mp4 = first\nv02_hires.mp4 = second\n");
  EXPECT_TRUE(fs.RenameNoReplace(tree.Path(u"v02_hires.mp4"), tree.Path(u"v03_hires.mp4")));
  EXPECT_EQ(tree.Dump(), "v02.mp4 = first\nv03_hires.mp4 = second\n");
  EXPECT_FALSE(fs.RenameNoReplace(tree.Path(u"gone.mp4"), tree.Path(u"v04.mp4")));
}

#ifndef _WIN32

TEST_F(FileSystemTest, CopyKeepsPermissionBitsAndModificationTime) {
  tree.WriteFile(u"src.mp4", "clip");
  const std::string source = ToNativeName(tree.Path(u"src.mp4"));
  ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
  const struct timespec times[2] = {{1000000000, 0}, {1234567890, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  ASSERT_TRUE(fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"dst.mp4")));
  struct stat st {};
  ASSERT_EQ(::stat(ToNativeName(tree.Path(u"dst.mp4")).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
}

TEST_F(FileSystemTest, CopyThatFailsHalfWayLeavesNoPartialFileAndKeepsTheOldTarget) {
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
  const bool copied = fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"out/dst.mp4"));
  const bool fresh = fs.CopyReplacing(tree.Path(u"src.mp4"), tree.Path(u"out/new.mp4"));
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(copied);
  EXPECT_FALSE(fresh);
  EXPECT_EQ(tree.Dump(u"out"), "dst.mp4 = good copy\n");
  EXPECT_EQ(tree.ReadFile(u"src.mp4"), clip);
}

TEST_F(FileSystemTest, CopyOntoItselfThroughALinkedFolderLeavesItIntact) {
  tree.WriteFile(u"clips/v02_hires.mp4", "the only take");
  ASSERT_EQ(::symlink(ToNativeName(tree.Path(u"clips")).c_str(),
                      ToNativeName(tree.Path(u"linked")).c_str()),
            0);
  EXPECT_TRUE(fs.CopyReplacing(tree.Path(u"clips/v02_hires.mp4"), tree.Path(u"linked/v02_hires.mp4")));
  EXPECT_EQ(tree.ReadFile(u"clips/v02_hires.mp4"), "the only take");
  EXPECT_EQ(Names(u"clips"), std::vector<std::u16string>{u"v02_hires.mp4"});
  // A linked folder lists as a folder; a link to a file as a file.
  ASSERT_EQ(::symlink("clips/v02_hires.mp4", ToNativeName(tree.Path(u"file-link.mp4")).c_str()), 0);
  EXPECT_EQ(Names(u""), (std::vector<std::u16string>{u"clips/", u"file-link.mp4", u"linked/"}));
  EXPECT_TRUE(fs.CopyReplacing(tree.Path(u"file-link.mp4"), tree.Path(u"copy.mp4")));
  EXPECT_EQ(tree.ReadFile(u"copy.mp4"), "the only take");
}

TEST_F(FileSystemTest, SpecialFilesAreNeverCopiedAndDoNotBlock) {
  const std::string fifo = ToNativeName(tree.Path(u"v05.mp4"));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(fs.CopyReplacing(tree.Path(u"v05.mp4"), tree.Path(u"v05_hires.mp4")));
  EXPECT_FALSE(fs.CopyReplacing(u"/dev/null", tree.Path(u"null.mp4")));
  EXPECT_EQ(Names(u""), std::vector<std::u16string>{u"v05.mp4"});
}

TEST_F(FileSystemTest, NamesThatAreNotUtf8AreListedCopiedAndRenamed) {
  const std::string folder = ToNativeName(tree.Root());
  const std::string raw = "clip-\xff\xfe-\xc3(.mp4";  // invalid UTF-8 in three places
  ASSERT_TRUE(::close(::creat((folder + "/" + raw).c_str(), 0644)) == 0);
  const std::vector<std::u16string> names = Names(u"");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], u"clip-\xDCFF\xDCFE-\xDCC3(.mp4");
  EXPECT_TRUE(fs.CopyReplacing(tree.Path(names[0]), tree.Path(u"copy\xDCFF.mp4")));
  EXPECT_TRUE(fs.RenameNoReplace(tree.Path(names[0]), tree.Path(u"renamed\xDC80.mp4")));
  struct stat st {};
  EXPECT_EQ(::stat((folder + "/copy\xff.mp4").c_str(), &st), 0);
  EXPECT_EQ(::stat((folder + "/renamed\x80.mp4").c_str(), &st), 0);
  EXPECT_NE(::stat((folder + "/" + raw).c_str(), &st), 0);
}

#endif  // !_WIN32

}  // namespace
}  // namespace marlowin::sys

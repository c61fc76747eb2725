#pragma once

// The operating system's files and folders, one implementation per platform (Unix/Files.cpp,
// Windows/Files.cpp). Paths are UTF-16 and used exactly as given; every failure comes back as
// the system's own reason.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace marlowin::platform {

class ContentHasher;

// The separator the program joins paths with: "\" on Windows, "/" on POSIX.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// Seconds and nanoseconds since 1970-01-01 UTC.
struct FileTime {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

// The time now, as a FileTime.
FileTime Now();

enum class FileType { kFile, kFolder, kLink, kOther };  // kLink: only from GetLinkStatus

struct FileStatus {
  FileType type = FileType::kOther;
  std::uint64_t size = 0;
  FileTime modified;
  FileTime accessed;
  std::uint32_t permissions = 0;  // POSIX mode bits; 0 on Windows
  std::uint64_t volume = 0;       // st_dev, or the volume serial number
  std::uint64_t fileId = 0;       // st_ino, or the file index
  std::uint32_t links = 1;        // the names the file has (hard links)

  bool IsSameFileAs(const FileStatus& other) const {
    return volume == other.volume && fileId == other.fileId;
  }
};

// Whether a copy's modification time is its source's, in the steps the copy's file system keeps
// (FAT whole seconds in steps of 2, exFAT 10 ms, NTFS 100 ns): a copy time that is as coarse as
// one of those is compared within that step.
bool SameModificationTime(const FileTime& source, const FileTime& copy);

struct FolderEntry {
  std::u16string name;
  bool isFolder = false;  // a folder, or a link to one; everything else counts as a file
};

// The names of the program's own temporary files: the prefix and anything after it.
inline constexpr std::u16string_view kTemporaryPrefix = u".marlowin-copy-";
inline bool IsTemporaryName(std::u16string_view name) { return name.starts_with(kTemporaryPrefix); }

// The order NTFS lists a folder in, used on every platform: UTF-16 code units with the
// letters a to z taken as A to Z, ties broken by the plain code units.
bool ListsBefore(std::u16string_view a, std::u16string_view b);

// The entries of a folder without "." and "..", in ListsBefore order. An error (and no
// entries) when the folder cannot be listed to its end.
[[nodiscard]] std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries);

// For the implementations of ListFolder: the entries in ListsBefore order, or none and the
// error when the listing was cut short.
[[nodiscard]] std::error_code FinishListing(std::error_code error, std::vector<FolderEntry>& entries);

// What is at a path, following links.
[[nodiscard]] std::error_code GetStatus(const std::u16string& path, FileStatus& status);

// What is at a path itself: a symbolic link (or another name-surrogate reparse point on
// Windows) is FileType::kLink, not what it leads to.
[[nodiscard]] std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status);

// The bytes this user may still write on the volume that holds the folder;
// std::errc::function_not_supported when the file system does not tell.
[[nodiscard]] std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes);

// Whether the file system of the folder takes names that differ only in the case of A to Z as
// the same name (FAT, exFAT, NTFS as Windows uses it). Where it cannot be told for sure, true:
// the careful answer for a pass that must not count one copy as two.
[[nodiscard]] std::error_code FoldsCase(const std::u16string& folder, bool& folds);

// What the system tells of the volume that holds a folder.
struct VolumeFacts {
  std::u16string fileSystem;      // as the system names it ("ext4", "NTFS", "FAT32"; "FAT" on Linux); may be empty
  std::uint64_t largestFile = 0;  // the largest file it can hold; 0 when it sets no limit we know of
  bool stableFileIds = true;      // a file keeps its fileId while it exists (through FUSE it need not)
};

[[nodiscard]] std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts);

// The full path of what is at `path`, every link resolved; on Windows also the letter case and
// the long form of each name, as the file system keeps them.
[[nodiscard]] std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved);

// Success when an entry with exactly this path can be looked up: no wildcard is expanded,
// and a drive's root folder counts.
[[nodiscard]] std::error_code LookUp(const std::u16string& path);

// Creates one folder whose parent exists. std::errc::file_exists when a folder is there
// already, std::errc::not_a_directory when something else is.
[[nodiscard]] std::error_code MakeFolder(const std::u16string& path);

// Gives a file a new name in the same folder. It never replaces an entry of the new name
// (std::errc::file_exists), also on file systems that lack an exclusive rename, and the file is
// always under exactly one of the two names, whenever the process stops.
[[nodiscard]] std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to);

// Moves a file over the target in one step: readers see the old file or the new one. Close a
// temporary first: on Windows a file held like one (CreateTemporary, OpenForWriting) cannot be
// moved while it is open (a sharing violation), and a target that is open may not be replaced.
[[nodiscard]] std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to);

[[nodiscard]] std::error_code RemoveFile(const std::u16string& path);

// Removes a folder, and only when it is empty.
[[nodiscard]] std::error_code RemoveEmptyFolder(const std::u16string& path);

// Removes a temporary file left by a pass that ended without cleaning up; Errc::kLeftoverInUse
// when a running pass still holds it.
[[nodiscard]] std::error_code RemoveLeftover(const std::u16string& path);

// Makes the entries of these folders (names given, moved, removed) durable, where the platform
// needs that asked for: one flush for each volume that can be flushed whole, else each folder.
[[nodiscard]] std::error_code FlushFolders(const std::vector<std::u16string>& folders);

// Held while a pass works on a folder; released when destroyed or when the process ends,
// however it ends. No file is written for it. On POSIX a lock on an open handle of the folder
// itself; on Windows a named kernel object for the folder's volume and file id, held beside an
// open handle of the folder (a sharing mode on the folder that shuts out a second lock also
// shuts out listings of the folder or renames into it), so it shuts out passes on this computer
// only.
class FolderLock {
 public:
  virtual ~FolderLock() = default;
};

// Errc::kFolderInUse, at once, when another process holds it.
[[nodiscard]] std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock);

// An open file. Closed when destroyed.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File();

  bool IsOpen() const;

  // A regular file (or a link to one), for reading from its start. Anything else gives
  // Errc::kNotARegularFile without waiting on it (a pipe has no writer).
  [[nodiscard]] std::error_code OpenForReading(const std::u16string& path);

  // For reading what is on the disk rather than in the cache, as far as the platform allows:
  // the file's cached pages are dropped first (POSIX), or the cache is bypassed (Windows).
  [[nodiscard]] std::error_code OpenFromDisk(const std::u16string& path);

  // A new, empty temporary file in the folder (kTemporaryPrefix and a unique tail), open for
  // writing. While it is open, RemoveLeftover in another process leaves it alone.
  [[nodiscard]] std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path);

  // A new file of exactly this name (an error when one exists), open for writing and held
  // like a temporary.
  [[nodiscard]] std::error_code CreateNew(const std::u16string& path);

  // Takes over an existing file for writing, held like a temporary.
  [[nodiscard]] std::error_code OpenForWriting(const std::u16string& path);

  [[nodiscard]] std::error_code Status(FileStatus& status) const;

  // Reads at the file's position; `got` is 0 at the end.
  [[nodiscard]] std::error_code Read(void* buffer, std::size_t size, std::size_t& got);
  [[nodiscard]] std::error_code Write(const void* data, std::size_t size);

  // Reads `length` bytes from `offset` into the system's cache and hands nothing over: a read to
  // come finds them there. `got` is less at the file's end. Where the file's position is after
  // it is the platform's.
  [[nodiscard]] std::error_code ReadIntoCache(std::uint64_t offset, std::uint64_t length, std::uint64_t& got);

  // Asks for what was written so far to go to the disk now, without waiting for it.
  void StartWriteback();

  // Waits until the file's data and size are on the disk.
  [[nodiscard]] std::error_code Flush();

  // Waits until this file's data is on the disk, and with it, where the volume can be flushed
  // whole (a local disk file system on Linux), everything else written to the volume:
  // `wholeVolume` then says that other files of the volume need no flush of their own.
  // Elsewhere it is Flush().
  [[nodiscard]] std::error_code FlushVolume(bool& wholeVolume);

  // Gives the file the source's modification (and access) time and permission bits.
  [[nodiscard]] std::error_code TakeAttributes(const FileStatus& source);

  // Closes now and reports the result: a close error can be the first sign of a failed write.
  [[nodiscard]] std::error_code Close();

  std::intptr_t NativeHandle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE
  bool uncached_ = false;      // opened past the cache: reads need aligned buffers
};

// Copies a whole file into a new file `to`, which must not exist, in the kernel where it can
// (a block-sharing clone where the volume has it, else an in-kernel copy), reporting the bytes
// done after each step (of at most 8 MiB on Linux). `progress` returning false stops the copy
// with Errc::kCancelled. On success `target` is the new file, open for writing; on failure `to`
// is gone again.
// With a `hasher`, the bytes of `from` are also fed to it, in order, read from the cache the copy
// has just filled, behind the copy (the source is read from its disk once), or taken from the
// buffer where plain reads and writes stand in for the kernel's copy. Where the platform's copy
// cannot do that (Windows), std::errc::function_not_supported and nothing is made.
[[nodiscard]] std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                            const std::function<bool(std::uint64_t)>& progress,
                                            File& target, ContentHasher* hasher = nullptr);

// A name for a new temporary in the folder, not yet taken when it was made.
std::u16string NewTemporaryPath(const std::u16string& folder);

}  // namespace marlowin::platform

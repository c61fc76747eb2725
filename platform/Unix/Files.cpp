// Files and folders on POSIX (Linux): names are bytes, mapped losslessly to UTF-16.
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Unix/HashBehind.h"

namespace marlowin::platform {
namespace {

// The most one kernel copy call moves between two progress reports: small enough that a
// stop is seen within a second even on a slow card, far below where a call could misbehave.
constexpr std::uint64_t kStep = 8ull << 20;
constexpr std::size_t kBufferSize = 4u << 20;

std::error_code Portable(std::errc code) { return std::make_error_code(code); }

int Descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

FileTime TimeOf(const struct timespec& t) {
  return {static_cast<std::int64_t>(t.tv_sec), static_cast<std::uint32_t>(t.tv_nsec)};
}

FileStatus StatusOf(const struct stat& st) {
  FileStatus status;
  status.type = S_ISREG(st.st_mode)   ? FileType::kFile
                : S_ISDIR(st.st_mode) ? FileType::kFolder
                : S_ISLNK(st.st_mode) ? FileType::kLink
                                      : FileType::kOther;
  status.size = static_cast<std::uint64_t>(st.st_size);
  status.modified = TimeOf(st.st_mtim);
  status.accessed = TimeOf(st.st_atim);
  status.permissions = st.st_mode & 07777;
  status.volume = static_cast<std::uint64_t>(st.st_dev);
  status.fileId = static_cast<std::uint64_t>(st.st_ino);
  status.links = static_cast<std::uint32_t>(st.st_nlink);
  return status;
}

// Holds a file against RemoveLeftover in other processes. File systems without locks (some
// network and FUSE ones) simply do without.
void HoldAgainstRemoval(int fd) { (void)::flock(fd, LOCK_EX | LOCK_NB); }

bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Local disk file systems, where syncfs() puts every written file of the volume on the disk.
// Elsewhere (FUSE, network file systems) only fsync() reaches a file's data.
bool SyncfsCoversFiles(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
      return true;
    default:
      return false;
  }
}

std::error_code WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) return Portable(std::errc::io_error);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return {};
}

std::error_code CreateExclusive(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return LastError();
  HoldAgainstRemoval(fd);
  return {};
}

// Direct reads need buffers, sizes and offsets in whole blocks of this many bytes.
constexpr std::size_t kDirectAlignment = 4096;

std::string RandomTail() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::mt19937 random(seed ^ (static_cast<unsigned>(::getpid()) << 16) ^ counter++);
  std::string tail;
  for (int i = 0; i < 12; ++i) tail.push_back(kLetters[random() % (sizeof kLetters - 1)]);
  return tail;
}

// Copies from `in` to `out` (both at offset 0) in steps of at most kStep, each followed by a
// start of write-back and a progress report, and fed to `hasher` when there is one. The kernel
// copies where it can, and what it copied is hashed behind it on a thread of its own. No more
// than the source's size at the start is copied: a file that keeps growing must not keep the copy
// going (the caller sees the change).
std::error_code CopyData(int in, int out, const std::function<bool(std::uint64_t)>& progress,
                         ContentHasher* hasher) {
  struct stat st {};
  if (::fstat(in, &st) != 0) return LastError();
  std::vector<char> hashBuffer;
  if (::ioctl(out, FICLONE, in) == 0) {  // shared blocks: nothing to write
    if (hasher) {
      if (const std::error_code error = HashRange(in, 0, static_cast<std::uint64_t>(st.st_size), *hasher, hashBuffer)) {
        return error;
      }
    }
    return progress(static_cast<std::uint64_t>(st.st_size)) ? std::error_code() : Errc::kCancelled;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  // Read ahead by the kernel, in its large pieces and as far as it goes for a file read in
  // order. Asked for ahead of the copy instead (POSIX_FADV_WILLNEED), the clip came in a page
  // at a time, in disk requests of about 1 MiB where the kernel's own hold 3, and the copy was
  // slower.
  (void)::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
  // Started by the kernel's first step: where it cannot copy, the bytes are hashed as they are
  // read, and a clip of one step is hashed here (no copy goes on meanwhile).
  std::optional<HashBehind> behind;
  std::uint64_t done = 0;
  bool kernel = true;
  std::string buffer;
  while (done < size) {
    const std::uint64_t step = std::min(kStep, size - done);
    std::uint64_t moved = 0;
    if (kernel) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, step, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        // Not offered between these two files: plain reads and writes, from where it stopped.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF) {
          kernel = false;
          // The rest is hashed as it is read, after what was copied so far.
          if (behind) {
            if (const std::error_code error = behind->Finish()) return error;
            behind.reset();
          }
          continue;
        }
        return LastError();
      }
      moved = static_cast<std::uint64_t>(n);
      if (hasher && size > kStep && !behind && done == 0 && moved > 0) behind.emplace(in, *hasher, hashBuffer);
      if (behind) {
        behind->Reached(done + moved);
      } else if (hasher && moved > 0) {
        if (const std::error_code error = HashRange(in, done, moved, *hasher, hashBuffer)) return error;
      }
    } else {
      if (buffer.empty()) buffer.resize(kBufferSize);
      while (moved < step) {
        const ssize_t n = ::read(in, buffer.data(), std::min<std::uint64_t>(buffer.size(), step - moved));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return LastError();
        if (n == 0) break;
        if (hasher) hasher->Update(buffer.data(), static_cast<std::size_t>(n));
        if (const std::error_code error = WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return error;
        moved += static_cast<std::uint64_t>(n);
      }
    }
    if (moved == 0) break;  // shorter than it was: the caller sees the change
    done += moved;
    (void)::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint: the disk starts now
    if (!progress(done)) return Errc::kCancelled;
  }
  if (behind) {
    if (const std::error_code error = behind->Finish()) return error;
  }
  return size == 0 && !progress(0) ? std::error_code(Errc::kCancelled) : std::error_code();
}

class UnixFolderLock final : public FolderLock {
 public:
  explicit UnixFolderLock(int fd) : fd_(fd) {}
  ~UnixFolderLock() override {
    if (fd_ >= 0) ::close(fd_);
  }

 private:
  int fd_;
};

}  // namespace

std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  const std::string native = ToNativeName(folder);
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return LastError();
  std::error_code error;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      if (errno != 0) error = LastError();
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isFolder = ::fstatat(::dirfd(dir), name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({FromNativeName(name), isFolder});
  }
  ::closedir(dir);
  return FinishListing(error, entries);
}

std::error_code GetStatus(const std::u16string& path, FileStatus& status) {
  struct stat st {};
  if (path.empty()) return Portable(std::errc::no_such_file_or_directory);
  if (::stat(ToNativeName(path).c_str(), &st) != 0) return LastError();
  status = StatusOf(st);
  return {};
}

std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status) {
  struct stat st {};
  if (path.empty()) return Portable(std::errc::no_such_file_or_directory);
  if (::lstat(ToNativeName(path).c_str(), &st) != 0) return LastError();
  status = StatusOf(st);
  return {};
}

std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) {
  struct statvfs fs {};
  if (::statvfs(ToNativeName(folder).c_str(), &fs) != 0) return LastError();
  // Some FUSE drivers (fusefat) tell no sizes at all: not "no room", but nothing known.
  if (fs.f_blocks == 0) return Portable(std::errc::function_not_supported);
  bytes = static_cast<std::uint64_t>(fs.f_bavail) * static_cast<std::uint64_t>(fs.f_frsize);
  return {};
}

namespace {

// A to Z and a to z swapped; false when the name holds no such letter.
bool FlipCase(std::string& name) {
  bool flipped = false;
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
      flipped = true;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
      flipped = true;
    }
  }
  return flipped;
}

// Whether `name` in `parent` is found under its case-flipped form: 1 yes, 0 no, -1 it cannot be
// told from this name. Found, and no entry of that very name: the lookup folded the case (FUSE
// drivers need not give one file the same inode number twice, so inodes tell nothing).
int FindsFlipped(const std::string& parent, std::string name) {
  if (!FlipCase(name)) return -1;
  struct stat st {};
  if (::stat((parent + "/" + name).c_str(), &st) != 0) return errno == ENOENT ? 0 : -1;
  DIR* dir = ::opendir(parent.c_str());
  if (!dir) return -1;
  int found = 1;
  while (const dirent* entry = ::readdir(dir)) {
    if (name == entry->d_name) {
      found = 0;  // two entries, one name in each case
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::error_code FoldsCase(const std::u16string& folder, bool& folds) {
  const std::string native = ToNativeName(folder);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return LastError();
  // Asked of the file system itself: a name found under another case is the same name.
  // The folder's own name, when its parent lies on the same volume...
  const std::size_t slash = native.find_last_of('/');
  if (slash != std::string::npos && slash + 1 < native.size()) {
    const std::string parent = slash == 0 ? "/" : native.substr(0, slash);
    struct stat up {};
    if (::stat(parent.c_str(), &up) == 0 && up.st_dev == st.st_dev) {
      const int found = FindsFlipped(parent, native.substr(slash + 1));
      if (found >= 0) {
        folds = found == 1;
        return {};
      }
    }
  }
  // ...else an entry of the folder.
  if (DIR* dir = ::opendir(native.c_str())) {
    int found = -1;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      found = FindsFlipped(native, name);
      if (found >= 0) break;
    }
    ::closedir(dir);
    if (found >= 0) {
      folds = found == 1;
      return {};
    }
  }
  // Nothing to ask by: the file system's kind, where it is known to be case-sensitive.
  struct statfs fs {};
  folds = true;
  if (::statfs(native.c_str(), &fs) == 0) {
    switch (static_cast<unsigned long>(fs.f_type)) {
      case EXT4_SUPER_MAGIC:
      case XFS_SUPER_MAGIC:
      case BTRFS_SUPER_MAGIC:
      case F2FS_SUPER_MAGIC:
      case TMPFS_MAGIC:
        folds = false;
        break;
      default:
        break;
    }
  }
  return {};
}

namespace {

constexpr unsigned long kFuseMagic = 0x65735546;   // FUSE_SUPER_MAGIC
constexpr unsigned long kMsdosMagic = 0x4d44;      // MSDOS_SUPER_MAGIC: the kernel's FAT

// The type the mount table gives the mount of device `device`, the latest mounted where there are
// several ("ext4", "vfat", "fuse.fusefat"); empty when none is found.
std::string MountedType(dev_t device) {
  std::ifstream table("/proc/self/mountinfo");
  const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::string type;
  for (std::string line; std::getline(table, line);) {
    // "ID PARENT MAJOR:MINOR ROOT POINT OPTIONS [TAGS...] - TYPE SOURCE OPTIONS"
    std::istringstream fields(line);
    std::string id, parent, numbers;
    fields >> id >> parent >> numbers;
    const std::size_t dash = line.find(" - ");
    if (numbers != wanted || dash == std::string::npos) continue;
    std::istringstream(line.substr(dash + 3)) >> type;
  }
  return type;
}

}  // namespace

std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts) {
  const std::string native = ToNativeName(folder);
  struct stat st {};
  struct statfs fs {};
  if (::stat(native.c_str(), &st) != 0 || ::statfs(native.c_str(), &fs) != 0) return LastError();
  const auto magic = static_cast<unsigned long>(fs.f_type);
  const std::string type = MountedType(st.st_dev);
  facts = {};
  facts.fileSystem = FromNativeName(type);
  // FUSE hands out inode numbers of its own, which change once the kernel forgets a file.
  facts.stableFileIds = magic != kFuseMagic;
  // FAT keeps a file's size in 32 bits, through the kernel's driver or a FUSE one.
  if (magic == kMsdosMagic || type == "vfat" || type == "msdos" || type == "fuse.fusefat") {
    facts.fileSystem = u"FAT";
    facts.largestFile = 0xFFFFFFFFull;
  }
  return {};
}

std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) {
  char* real = ::realpath(ToNativeName(path).c_str(), nullptr);
  if (!real) return LastError();
  resolved = FromNativeName(real);
  std::free(real);
  return {};
}

std::error_code LookUp(const std::u16string& path) {
  struct stat st {};
  if (path.empty()) return Portable(std::errc::no_such_file_or_directory);
  if (::lstat(ToNativeName(path).c_str(), &st) != 0) return LastError();
  return {};
}

std::error_code MakeFolder(const std::u16string& path) {
  const std::string native = ToNativeName(path);
  if (::mkdir(native.c_str(), 0777) == 0) return {};
  const std::error_code error = LastError();
  if (error != std::errc::file_exists) return error;
  struct stat st {};
  if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return error;
  return Portable(std::errc::not_a_directory);  // a file (or a broken link) is in the way
}

std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  const std::string source = ToNativeName(from);
  const std::string target = ToNativeName(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return {};
  const std::error_code error = LastError();
  if (error != std::errc::invalid_argument && error != std::errc::function_not_supported &&
      error != std::errc::operation_not_supported) {
    return error;
  }
  // No exclusive rename on this file system (FAT and exFAT, also through FUSE). A hard link
  // would leave the clip under two names for a moment, and these file systems have none
  // anyway: look first, then rename in one step. The name is looked up the way the file
  // system looks it up, so a case-insensitive one finds V02_HIRES.MP4 for v02_hires.mp4.
  // Only a process that makes that very name in between could be replaced; a running pass
  // holds the folder against other passes.
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) return Portable(std::errc::file_exists);
  if (errno != ENOENT) return LastError();
  if (::rename(source.c_str(), target.c_str()) != 0) return LastError();
  return {};
}

std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) {
  if (::rename(ToNativeName(from).c_str(), ToNativeName(to).c_str()) != 0) return LastError();
  return {};
}

std::error_code RemoveFile(const std::u16string& path) {
  if (::unlink(ToNativeName(path).c_str()) != 0) return LastError();
  return {};
}

std::error_code RemoveEmptyFolder(const std::u16string& path) {
  if (::rmdir(ToNativeName(path).c_str()) != 0) {
    const std::error_code error = LastError();
    // Some file systems say EEXIST for a folder that is not empty.
    return error == std::errc::file_exists ? Portable(std::errc::directory_not_empty) : error;
  }
  return {};
}

std::error_code RemoveLeftover(const std::u16string& path) {
  const std::string native = ToNativeName(path);
  const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && !LocksUnsupported(errno)) {
    const bool held = errno == EWOULDBLOCK;
    const std::error_code error = LastError();
    ::close(fd);
    return held ? make_error_code(Errc::kLeftoverInUse) : error;
  }
  const std::error_code error = ::unlink(native.c_str()) == 0 ? std::error_code() : LastError();
  ::close(fd);
  return error;
}

std::error_code FlushFolders(const std::vector<std::u16string>& folders) {
  std::set<std::uint64_t> flushedVolumes;
  for (const std::u16string& folder : folders) {
    const int fd = ::open(ToNativeName(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    struct stat st {};
    int result = ::fstat(fd, &st);
    if (result == 0 && !flushedVolumes.contains(st.st_dev)) {
      if (SyncfsCoversFiles(fd)) {
        result = ::syncfs(fd);
        if (result == 0) flushedVolumes.insert(st.st_dev);
      } else {
        result = ::fsync(fd);
        if (result != 0 && errno == EINVAL) result = 0;  // folders that cannot be flushed
      }
    }
    const std::error_code error = result == 0 ? std::error_code() : LastError();
    ::close(fd);
    if (error) return error;
  }
  return {};
}

std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock) {
  const int fd = ::open(ToNativeName(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (!LocksUnsupported(error)) {
      ::close(fd);
      return error == EWOULDBLOCK ? make_error_code(Errc::kFolderInUse) : SystemError(error);
    }
  }
  lock = std::make_unique<UnixFolderLock>(fd);
  return {};
}

File::File(File&& other) noexcept : handle_(other.handle_), uncached_(other.uncached_) {
  other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    (void)Close();
    handle_ = other.handle_;
    uncached_ = other.uncached_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { (void)Close(); }

bool File::IsOpen() const { return handle_ >= 0; }

std::error_code File::OpenForReading(const std::u16string& path) {
  (void)Close();
  // O_NONBLOCK: opening a pipe must not wait for a writer. Regular files ignore it.
  const int fd = ::open(ToNativeName(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::error_code error = S_ISREG(st.st_mode) ? LastError() : make_error_code(Errc::kNotARegularFile);
    ::close(fd);
    return error;
  }
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  handle_ = fd;
  return {};
}

std::error_code File::OpenFromDisk(const std::u16string& path) {
  if (const std::error_code error = OpenForReading(path)) return error;
  // Past the cache where the file system allows it (reads then need aligned buffers, which
  // Read sees to); elsewhere the pages already flushed are dropped, so that the reads come
  // from the disk all the same.
  const int flags = ::fcntl(Descriptor(handle_), F_GETFL);
  if (flags >= 0 && ::fcntl(Descriptor(handle_), F_SETFL, flags | O_DIRECT) == 0) {
    uncached_ = true;
  } else {
    (void)::posix_fadvise(Descriptor(handle_), 0, 0, POSIX_FADV_DONTNEED);
  }
  return {};
}

std::error_code File::CreateTemporary(const std::u16string& folder, std::u16string& path) {
  (void)Close();
  std::string name = ToNativeName(folder) + "/" + ToNativeName(kTemporaryPrefix) + "XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return LastError();
  HoldAgainstRemoval(fd);
  handle_ = fd;
  path = FromNativeName(name);
  return {};
}

std::error_code File::CreateNew(const std::u16string& path) {
  (void)Close();
  int fd = -1;
  if (const std::error_code error = CreateExclusive(ToNativeName(path), fd)) return error;
  handle_ = fd;
  return {};
}

std::error_code File::OpenForWriting(const std::u16string& path) {
  (void)Close();
  const int fd = ::open(ToNativeName(path).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return LastError();
  HoldAgainstRemoval(fd);
  handle_ = fd;
  return {};
}

std::error_code File::Status(FileStatus& status) const {
  struct stat st {};
  if (::fstat(Descriptor(handle_), &st) != 0) return LastError();
  status = StatusOf(st);
  return {};
}

std::error_code File::Read(void* buffer, std::size_t size, std::size_t& got) {
  if (uncached_ && (reinterpret_cast<std::uintptr_t>(buffer) % kDirectAlignment != 0 || size % kDirectAlignment != 0)) {
    // A direct read takes whole blocks into an aligned buffer; for anything else the file is
    // read through the cache, its flushed pages dropped first.
    (void)::fcntl(Descriptor(handle_), F_SETFL, ::fcntl(Descriptor(handle_), F_GETFL) & ~O_DIRECT);
    (void)::posix_fadvise(Descriptor(handle_), 0, 0, POSIX_FADV_DONTNEED);
    uncached_ = false;
  }
  for (;;) {
    const ssize_t n = ::read(Descriptor(handle_), buffer, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    got = static_cast<std::size_t>(n);
    return {};
  }
}

std::error_code File::ReadIntoCache(std::uint64_t offset, std::uint64_t length, std::uint64_t& got) {
  got = 0;
  // Spliced into /dev/null: the pages are read and cached, and not one byte is copied out.
  static const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  auto at = static_cast<off_t>(offset);
  while (got < length) {
    const ssize_t n = null < 0 ? -1 : ::sendfile(null, Descriptor(handle_), &at, std::min<std::uint64_t>(length - got, 1u << 30));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (n == 0) return {};  // the end of the file
    got += static_cast<std::uint64_t>(n);
  }
  // Where the file cannot be spliced: read and let go.
  std::vector<char> buffer;
  while (got < length) {
    if (buffer.empty()) buffer.resize(256 << 10);
    const ssize_t n = ::pread(Descriptor(handle_), buffer.data(), std::min<std::uint64_t>(length - got, buffer.size()),
                              static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  return {};
}

std::error_code File::Write(const void* data, std::size_t size) {
  return WriteAll(Descriptor(handle_), static_cast<const char*>(data), size);
}

void File::StartWriteback() { (void)::sync_file_range(Descriptor(handle_), 0, 0, SYNC_FILE_RANGE_WRITE); }

std::error_code File::Flush() {
  if (::fsync(Descriptor(handle_)) != 0) return LastError();
  return {};
}

std::error_code File::FlushVolume(bool& wholeVolume) {
  wholeVolume = SyncfsCoversFiles(Descriptor(handle_));
  // syncfs() also reports a write-back error of any file on the volume since this file was
  // opened; the caller then flushes each file to learn whose it was.
  const int result = wholeVolume ? ::syncfs(Descriptor(handle_)) : ::fsync(Descriptor(handle_));
  if (result != 0) return LastError();
  return {};
}

// Some file systems keep no permission bits or settable times (memory cards through some
// FUSE drivers): a copy there is still a good copy; a later pass only finds it less often in
// place.
bool AttributeNotKept(int error) { return error == EPERM || error == EOPNOTSUPP || error == ENOSYS; }

std::error_code File::TakeAttributes(const FileStatus& source) {
  if (::fchmod(Descriptor(handle_), static_cast<mode_t>(source.permissions)) != 0 && !AttributeNotKept(errno)) {
    return LastError();
  }
  const struct timespec times[2] = {
      {static_cast<time_t>(source.accessed.seconds), static_cast<long>(source.accessed.nanoseconds)},
      {static_cast<time_t>(source.modified.seconds), static_cast<long>(source.modified.nanoseconds)}};
  if (::futimens(Descriptor(handle_), times) != 0 && !AttributeNotKept(errno)) return LastError();
  return {};
}

std::error_code File::Close() {
  if (handle_ < 0) return {};
  const int fd = Descriptor(handle_);
  handle_ = -1;
  uncached_ = false;
  if (::close(fd) != 0) return LastError();
  return {};
}

std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                              const std::function<bool(std::uint64_t)>& progress, File& target,
                              ContentHasher* hasher) {
  File source;
  if (const std::error_code error = source.OpenForReading(from)) return error;
  File copy;
  if (const std::error_code error = copy.CreateNew(to)) return error;
  const std::error_code error =
      CopyData(Descriptor(source.NativeHandle()), Descriptor(copy.NativeHandle()), progress, hasher);
  if (error) {
    (void)copy.Close();
    ::unlink(ToNativeName(to).c_str());
    return error;
  }
  target = std::move(copy);
  return {};
}

std::u16string NewTemporaryPath(const std::u16string& folder) {
  return folder + kPathSeparator + std::u16string(kTemporaryPrefix) + FromNativeName(RandomTail());
}

}  // namespace marlowin::platform

// The file system on POSIX: names are bytes, mapped losslessly to UTF-16 (NativeName.h).
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/NativeName.h"

namespace marlowin::sys {
namespace {

// Closes a descriptor when the scope ends.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Reset(); }
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and reports the result: a close error can be the first sign of a failed write.
  bool Reset() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool CopyByReadWrite(int in, int out) {
  static constexpr std::size_t kBufferSize = 1 << 20;
  std::string buffer(kBufferSize, '\0');
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return false;
  }
}

// The kernel's own copy path: a clone where the file system shares blocks, else
// copy_file_range, else plain reads and writes. Both descriptors start at offset 0.
bool CopyContents(int in, int out) {
  if (::ioctl(out, FICLONE, in) == 0) return true;
  bool first = true;
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n > 0) {
      first = false;
      continue;
    }
    if (n == 0) return true;
    if (errno == EINTR) continue;
    // Not offered between these files: fall back, but only before anything was written.
    if (first && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                  errno == EBADF)) {
      return CopyByReadWrite(in, out);
    }
    return false;
  }
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

class UnixFileSystem final : public FileSystem {
 public:
  bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) override {
    entries.clear();
    const std::string native = ToNativeName(folder);
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return false;
    const std::string prefix = native + "/";
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (!entry) break;
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      bool isFolder = entry->d_type == DT_DIR;
      if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
        struct stat st {};
        isFolder = ::stat((prefix + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      }
      entries.push_back({FromNativeName(name), isFolder});
    }
    const bool complete = errno == 0;
    ::closedir(dir);
    return FinishListing(complete, entries);
  }

  bool Exists(const std::u16string& path) override {
    struct stat st {};
    return !path.empty() && ::lstat(ToNativeName(path).c_str(), &st) == 0;
  }

  bool MakeFolder(const std::u16string& path) override {
    return ::mkdir(ToNativeName(path).c_str(), 0777) == 0;
  }

  bool CopyReplacing(const std::u16string& from, const std::u16string& to) override {
    const std::string source = ToNativeName(from);
    const std::string target = ToNativeName(to);

    // O_NONBLOCK: opening a FIFO must not wait for a writer; only regular files are copied.
    Fd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat sourceStat {};
    if (!in.Valid() || ::fstat(in.Get(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode)) {
      return false;
    }
    struct stat targetStat {};
    if (::stat(target.c_str(), &targetStat) == 0) {
      // The same file reached by another path (a linked folder): it is already there.
      if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) {
        return true;
      }
      if (S_ISDIR(targetStat.st_mode)) return false;
    }

    std::string temporary = ParentOf(target) + "/.marlowin-copy-XXXXXX";
    Fd out(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.Valid()) return false;

    bool ok = CopyContents(in.Get(), out.Get());
    if (ok) {
      // Like the Windows copy: permission bits and times come along (best effort: some
      // file systems, such as those of memory cards, keep neither).
      (void)::fchmod(out.Get(), sourceStat.st_mode & 07777);
      const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
      (void)::futimens(out.Get(), times);
      ok = ::fsync(out.Get()) == 0;
    }
    ok = out.Reset() && ok;
    // rename() replaces the target in one step: readers see the old copy or the new one.
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
  }

  bool RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    const std::string source = ToNativeName(from);
    const std::string target = ToNativeName(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // No RENAME_NOREPLACE on this file system: link() also refuses an existing name.
    if (::link(source.c_str(), target.c_str()) != 0) return false;
    if (::unlink(source.c_str()) != 0) {
      ::unlink(target.c_str());  // back to the one old name
      return false;
    }
    return true;
  }

  bool RemoveFile(const std::u16string& path) override {
    return ::unlink(ToNativeName(path).c_str()) == 0;
  }

  bool RemoveEmptyFolder(const std::u16string& path) override {
    return ::rmdir(ToNativeName(path).c_str()) == 0;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static UnixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace marlowin::sys

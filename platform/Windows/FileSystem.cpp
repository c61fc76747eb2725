// The file system on Windows, through the kernel's wide-character file operations.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/FileSystem.h"
#include "platform/WideString.h"

namespace marlowin::sys {
namespace {

// Closes a handle when the scope ends.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (Valid()) ::CloseHandle(handle_);
  }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

struct FileIdentity {
  BY_HANDLE_FILE_INFORMATION info{};
  bool valid = false;
};

FileIdentity IdentityOf(HANDLE file) {
  FileIdentity identity;
  identity.valid = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &identity.info);
  return identity;
}

FileIdentity IdentityOf(const std::u16string& path) {
  Handle file(::CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return IdentityOf(file.Get());
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.valid && b.valid && a.info.dwVolumeSerialNumber == b.info.dwVolumeSerialNumber &&
         a.info.nFileIndexHigh == b.info.nFileIndexHigh &&
         a.info.nFileIndexLow == b.info.nFileIndexLow;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// "D:\", "D:" or "\\server\share[\]": folders that FindFirstFileW will not look up by name.
bool IsRootFolderPath(const std::u16string& path) {
  auto isLetter = [](char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); };
  if (path.size() == 2 || path.size() == 3) {
    return isLetter(path[0]) && path[1] == u':' && (path.size() == 2 || IsSeparator(path[2]));
  }
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t parts = 0;
    std::size_t i = 2;
    while (i < path.size()) {
      const std::size_t start = i;
      while (i < path.size() && !IsSeparator(path[i])) ++i;
      if (i == start) return false;
      ++parts;
      if (i < path.size()) ++i;
    }
    return parts == 2;
  }
  return false;
}

std::u16string ParentOf(const std::u16string& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string::npos ? std::u16string(u".") : path.substr(0, separator);
}

class WindowsFileSystem final : public FileSystem {
 public:
  bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) override {
    entries.clear();
    const std::u16string pattern = folder + u"\\*";
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(AsWide(pattern), &data);
    if (find == INVALID_HANDLE_VALUE) {
      // A drive's root folder has no "." and "..": empty, not unreadable.
      return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
      const std::u16string name = FromWide(data.cFileName);
      if (name == u"." || name == u"..") continue;
      entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileW(find, &data));
    const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    ::FindClose(find);
    return FinishListing(complete, entries);
  }

  bool Exists(const std::u16string& path) override {
    // An exact lookup: a name with wildcards would match other entries.
    if (path.empty() || path.find_first_of(u"*?") != std::u16string::npos) return false;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(AsWide(path), &data);
    if (find != INVALID_HANDLE_VALUE) {
      ::FindClose(find);
      return true;
    }
    // The find operation refuses a root folder by name; it exists all the same.
    if (IsRootFolderPath(path)) {
      const DWORD attributes = ::GetFileAttributesW(AsWide(path));
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
  }

  bool MakeFolder(const std::u16string& path) override {
    return ::CreateDirectoryW(AsWide(path), nullptr) != 0;
  }

  bool CopyReplacing(const std::u16string& from, const std::u16string& to) override {
    FileIdentity sourceIdentity;
    {
      // Only regular files on disk are copied: no folders, devices or pipes.
      Handle source(::CreateFileW(AsWide(from), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!source.Valid() || ::GetFileType(source.Get()) != FILE_TYPE_DISK) return false;
      sourceIdentity = IdentityOf(source.Get());
    }
    const FileIdentity targetIdentity = IdentityOf(to);
    if (SameFile(sourceIdentity, targetIdentity)) return true;  // reached through a link
    if (targetIdentity.valid &&
        (targetIdentity.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return false;
    }

    // Written under a temporary name beside the target, then moved over it in one step, so
    // a failed copy never leaves a partial file or destroys an earlier good copy.
    static std::atomic<unsigned> counter{0};
    const std::u16string folder = ParentOf(to);
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::wstring unique = std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(::GetTickCount64()) + L"-" +
                                  std::to_wstring(counter++);
      const std::u16string temporary = folder + u"\\.marlowin-copy-" + FromWide(unique) + u".tmp";
      if (!::CopyFileW(AsWide(from), AsWide(temporary), TRUE)) {
        if (::GetLastError() == ERROR_FILE_EXISTS) continue;  // not ours: try another name
        ::DeleteFileW(AsWide(temporary));
        return false;
      }
      if (::MoveFileExW(AsWide(temporary), AsWide(to),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
      }
      ::DeleteFileW(AsWide(temporary));
      return false;
    }
    return false;
  }

  bool RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return ::MoveFileW(AsWide(from), AsWide(to)) != 0;  // refuses an existing target
  }

  bool RemoveFile(const std::u16string& path) override {
    return ::DeleteFileW(AsWide(path)) != 0;
  }

  bool RemoveEmptyFolder(const std::u16string& path) override {
    return ::RemoveDirectoryW(AsWide(path)) != 0;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

}  // namespace marlowin::sys

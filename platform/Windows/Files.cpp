// The file primitives on Windows, through the kernel's wide-character calls. Every failure is the
// system's own reason (GetLastError), or one of the portable codes the contract names.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/WideString.h"

namespace marlowin::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A temporary (or a copy taken over for writing) lets others read and write it, but not delete
// or rename it: RemoveLeftover of another pass gets a sharing violation while it is open. What
// another process may write into it is caught by the proof that reads it back.
constexpr DWORD kShareTemporary = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Closes a handle when the scope ends, unless it was released.
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
  HANDLE Release() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }

 private:
  HANDLE handle_;
};

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::error_code Portable(std::errc code) { return std::make_error_code(code); }

// FILETIME counts 100 ns since 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FileTime FromFiletime(const FILETIME& time) {
  const std::int64_t ticks = Ticks(time) - kUnixEpochTicks;
  std::int64_t seconds = ticks / kTicksPerSecond;
  std::int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  return {seconds, static_cast<std::uint32_t>(rest * 100)};
}

FILETIME ToFiletime(const FileTime& time) {
  const std::int64_t ticks =
      std::max<std::int64_t>(0, time.seconds * kTicksPerSecond + time.nanoseconds / 100 + kUnixEpochTicks);
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  return result;
}

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

std::error_code StatusOf(HANDLE handle, FileStatus& status) {
  status = FileStatus{};
  // The times first: under Wine, GetFileType sets the file's access time to now.
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = ::GetFileInformationByHandle(handle, &info);
  const std::error_code error = known ? std::error_code() : LastError();
  ::SetLastError(NO_ERROR);
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) return LastError();
  if (type != FILE_TYPE_DISK) {
    status.type = FileType::kOther;  // a device or a pipe: nothing more to tell
    return {};
  }
  if (!known) return error;
  status.type = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::kFolder : FileType::kFile;
  status.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
  status.modified = FromFiletime(info.ftLastWriteTime);
  status.accessed = FromFiletime(info.ftLastAccessTime);
  status.volume = info.dwVolumeSerialNumber;
  status.fileId = Join(info.nFileIndexHigh, info.nFileIndexLow);
  status.links = info.nNumberOfLinks;
  return {};
}

// Opened for its attributes only: no data access, so it takes part in no sharing check, and
// FILE_FLAG_BACKUP_SEMANTICS opens folders too. Links are followed.
HANDLE OpenForAttributes(const std::u16string& path) {
  return ::CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string Child(const std::u16string& folder, std::u16string_view name) {
  std::u16string path = folder;
  if (path.empty() || !IsSeparator(path.back())) path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

// "D:\", "D:" or "\\server\share[\]": folders that the find calls will not look up by name.
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

bool IsFolderAttribute(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---- Reading past the cache ----
//
// A handle opened with FILE_FLAG_NO_BUFFERING reads only whole sectors, at offsets that are
// multiples of the sector size, into buffers aligned to it. Read keeps the file's position where
// the caller expects it and goes through an aligned bounce buffer for the parts that are not.

constexpr std::size_t kMinimumUnit = 4096;
constexpr std::size_t kBounceSize = 8u << 20;          // the most one bounced read covers
constexpr std::size_t kDirectStep = 64u << 20;         // the most one direct read asks for
constexpr DWORD kMaxStep = 1u << 30;                   // the most one cached ReadFile/WriteFile asks for

// The size that offsets, lengths and buffer addresses must be multiples of: the volume's sector
// size, and at least a page (a 4 KiB-sector disk behind a 512-byte-sector report costs nothing).
std::size_t SectorUnit(HANDLE handle) {
  std::size_t unit = kMinimumUnit;
  FILE_STORAGE_INFO storage{};
  if (::GetFileInformationByHandleEx(handle, FileStorageInfo, &storage, sizeof storage)) {
    unit = std::max<std::size_t>({unit, storage.LogicalBytesPerSector,
                                  storage.PhysicalBytesPerSectorForPerformance});
  }
  return unit;
}

class BounceBuffer {
 public:
  BounceBuffer() = default;
  BounceBuffer(const BounceBuffer&) = delete;
  BounceBuffer& operator=(const BounceBuffer&) = delete;
  ~BounceBuffer() {
    if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
  }
  // Page-aligned memory (VirtualAlloc aligns to 64 KiB) of at least `size` bytes.
  char* Get(std::size_t size) {
    if (size > size_) {
      if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
      size_ = 0;
      data_ = ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      if (!data_) return nullptr;
      size_ = size;
    }
    return static_cast<char*>(data_);
  }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

bool IsMultiple(std::uint64_t value, std::size_t unit) { return value % unit == 0; }

// One read at an explicit offset. The rules of FILE_FLAG_NO_BUFFERING are checked here rather than
// left to the file system, so that a mistake shows on every volume (and under Wine, which does not
// enforce them) as it would on a disk that does.
std::error_code ReadAt(HANDLE handle, std::uint64_t offset, char* buffer, std::size_t size,
                       std::size_t unit, std::size_t& got) {
  got = 0;
  if (!IsMultiple(offset, unit) || !IsMultiple(size, unit) ||
      !IsMultiple(reinterpret_cast<std::uintptr_t>(buffer), unit) || size > kMaxStep) {
    return SystemError(ERROR_INVALID_PARAMETER);
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD done = 0;
  if (!::ReadFile(handle, buffer, static_cast<DWORD>(size), &done, &at)) {
    if (::GetLastError() == ERROR_HANDLE_EOF) return {};  // at or past the end
    return LastError();
  }
  got = done;
  return {};
}

std::error_code ReadUncached(HANDLE handle, char* out, std::size_t size, std::size_t& got) {
  got = 0;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT)) return LastError();
  const auto start = static_cast<std::uint64_t>(position.QuadPart);
  const std::size_t unit = SectorUnit(handle);
  // Only for reads the caller did not align (the pass's own are): made when needed. Not kept
  // per thread: a thread-local object with a destructor is not safe in every Windows runtime at
  // the end of a thread.
  BounceBuffer bounce;
  std::error_code error;
  while (got < size && !error) {
    const std::uint64_t here = start + got;
    const std::size_t skip = static_cast<std::size_t>(here % unit);
    const std::size_t want = size - got;
    std::size_t done = 0;
    if (skip == 0 && want >= unit && IsMultiple(reinterpret_cast<std::uintptr_t>(out + got), unit)) {
      // Straight into the caller's buffer: whole sectors at a sector offset.
      const std::size_t step = std::min(want - want % unit, kDirectStep);
      error = ReadAt(handle, here, out + got, step, unit, done);
      got += done;
      if (done < step) break;  // the end of the file
      continue;
    }
    const std::size_t span = std::min((skip + want + unit - 1) / unit * unit, kBounceSize - kBounceSize % unit);
    char* buffer = bounce.Get(kBounceSize);
    if (!buffer) return LastError();
    error = ReadAt(handle, here - skip, buffer, span, unit, done);
    if (done <= skip) break;
    const std::size_t useful = std::min(done - skip, want);
    std::memcpy(out + got, buffer + skip, useful);
    got += useful;
    if (done < span) break;
  }
  // Where a cached read would have left it; an unaligned position is fine until the next read.
  LARGE_INTEGER next;
  next.QuadPart = static_cast<LONGLONG>(start + got);
  if (!::SetFilePointerEx(handle, next, nullptr, FILE_BEGIN) && !error) error = LastError();
  if (error) got = 0;
  return error;
}

// ---- The folder lock ----
//
// Held as a named kernel object for the folder's identity (volume serial number and file id, so
// that every path to the folder names the same lock), next to an open handle of the folder. The
// object exists while a handle to it is open; the system closes the handles when the process
// ends, however it ends. Creating it is atomic: the second creator learns that it existed.
//
// Not a sharing mode on the folder's handle: a handle exclusive against another one like it must
// deny some access it asks for itself. Denying read stops every listing of the folder; holding
// delete access (or denying write) stops renames into it, because the system opens the target
// folder of a rename for writing without FILE_SHARE_DELETE; and Wine's FindFirstFileExW opens
// the folder without FILE_SHARE_DELETE, so there a handle with delete access stops listing too.
class WindowsFolderLock final : public FolderLock {
 public:
  WindowsFolderLock(HANDLE folder, HANDLE mark) : folder_(folder), mark_(mark) {}
  ~WindowsFolderLock() override {
    ::CloseHandle(mark_);
    ::CloseHandle(folder_);
  }

 private:
  HANDLE folder_;
  HANDLE mark_;
};

void AppendHex(std::wstring& text, std::uint64_t value) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  for (int shift = 60; shift >= 0; shift -= 4) text.push_back(kDigits[(value >> shift) & 0xF]);
}

std::wstring LockName(HANDLE folder, const BY_HANDLE_FILE_INFORMATION& info) {
  // Global: one lock for every session of the machine.
  std::wstring name = L"Global\\marlowin-folder-";
  FILE_ID_INFO id{};
  if (::GetFileInformationByHandleEx(folder, FileIdInfo, &id, sizeof id)) {
    // 128-bit ids (ReFS), with the 64-bit volume serial number.
    std::uint64_t parts[2];
    static_assert(sizeof parts == sizeof id.FileId.Identifier);
    std::memcpy(parts, id.FileId.Identifier, sizeof parts);
    AppendHex(name, id.VolumeSerialNumber);
    name.push_back(L'-');
    AppendHex(name, parts[1]);
    AppendHex(name, parts[0]);
  } else {
    AppendHex(name, info.dwVolumeSerialNumber);
    name.push_back(L'-');
    AppendHex(name, Join(info.nFileIndexHigh, info.nFileIndexLow));
  }
  return name;
}

// ---- The copy ----

struct CopyState {
  const std::function<bool(std::uint64_t)>* progress = nullptr;
  bool started = false;         // the target was created by this copy
  bool reported = false;
  std::uint64_t lastReported = 0;
  bool cancelled = false;
  std::exception_ptr exception;  // thrown by `progress`, carried past the system's frames
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER,
                            DWORD, DWORD reason, HANDLE, HANDLE, LPVOID data) {
  auto& state = *static_cast<CopyState*>(data);
  state.started = true;
  if (reason != CALLBACK_CHUNK_FINISHED) return PROGRESS_CONTINUE;
  const auto done = static_cast<std::uint64_t>(transferred.QuadPart);
  state.reported = true;
  state.lastReported = done;
  try {
    if (*state.progress && !(*state.progress)(done)) {
      state.cancelled = true;
      return PROGRESS_CANCEL;
    }
  } catch (...) {
    state.exception = std::current_exception();
    return PROGRESS_CANCEL;
  }
  return PROGRESS_CONTINUE;
}

}  // namespace

std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  if (folder.empty()) return SystemError(ERROR_PATH_NOT_FOUND);
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(AsWide(Child(folder, u"*")), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const std::error_code error = LastError();
    const DWORD attributes = ::GetFileAttributesW(AsWide(folder));
    if (attributes == INVALID_FILE_ATTRIBUTES) return error;  // missing, or unreachable
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Portable(std::errc::not_a_directory);
    // A drive's root folder has no "." and "..": with nothing in it, nothing matches.
    if (error.value() == ERROR_FILE_NOT_FOUND) return {};
    return error;
  }
  std::error_code error;
  do {
    const std::u16string name = FromWide(data.cFileName);
    if (name == u"." || name == u"..") continue;
    entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(find, &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) error = LastError();
  ::FindClose(find);
  return FinishListing(error, entries);
}

std::error_code GetStatus(const std::u16string& path, FileStatus& status) {
  Handle file(OpenForAttributes(path));
  if (!file.Valid()) return LastError();
  return StatusOf(file.Get(), status);
}

std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status) {
  // The entry itself: a symbolic link or a junction is not followed.
  Handle file(::CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) return LastError();
  if (const std::error_code error = StatusOf(file.Get(), status)) return error;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (::GetFileInformationByHandleEx(file.Get(), FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag)) {
    status.type = FileType::kLink;
  }
  return {};
}

std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) {
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(AsWide(folder), &available, nullptr, nullptr)) return LastError();
  bytes = available.QuadPart;
  return {};
}

std::error_code FoldsCase(const std::u16string& folder, bool& folds) {
  // Windows looks names up without regard to case on every file system it mounts (a folder
  // marked case-sensitive is rare, and treating it as case-blind only errs on the careful side).
  if (::GetFileAttributesW(AsWide(folder)) == INVALID_FILE_ATTRIBUTES) return LastError();
  folds = true;
  return {};
}

std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts) {
  // The volume's root is short, but the call wants room for the whole path it is given.
  std::wstring root(folder.size() + MAX_PATH + 1, L'\0');
  if (!::GetVolumePathNameW(AsWide(folder), root.data(), static_cast<DWORD>(root.size()))) return LastError();
  root.resize(std::wcslen(root.c_str()));
  wchar_t type[MAX_PATH + 1] = {};
  if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, type, MAX_PATH + 1)) {
    return LastError();
  }
  facts = {};
  facts.fileSystem = FromWide(type);
  // FAT keeps a file's size in 32 bits (exFAT, NTFS and ReFS do not).
  const std::wstring_view name = type;
  if (name == L"FAT" || name == L"FAT12" || name == L"FAT16" || name == L"FAT32") facts.largestFile = 0xFFFFFFFFull;
  return {};
}

std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) {
  Handle file(OpenForAttributes(path));
  if (!file.Valid()) return LastError();
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // A path longer than the buffer: the size it needs, or (Wine) no size and "more data".
    if (length == 0 && ::GetLastError() == ERROR_MORE_DATA && buffer.size() < 32768) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    // Wine cannot name a handle's path much past MAX_PATH at all: the full path as given then,
    // its links not resolved (the folders' file ids still tell one folder from two).
    if (length == 0 && ::GetLastError() == ERROR_MORE_DATA) {
      const DWORD full = ::GetFullPathNameW(AsWide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
      if (full == 0 || full >= buffer.size()) return LastError();
      buffer.resize(full);
      break;
    }
    if (length == 0) return LastError();
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length + 1);
  }
  // "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is "\\server\share".
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    buffer.replace(0, 8, L"\\\\");
  } else if (buffer.rfind(L"\\\\?\\", 0) == 0) {
    buffer.erase(0, 4);
  }
  resolved = FromWide(buffer);
  return {};
}

std::error_code LookUp(const std::u16string& path) {
  // An exact lookup: a name with wildcards would match other entries. ("\\?\" is a prefix.)
  const std::size_t names = path.starts_with(u"\\\\?\\") ? 4 : 0;
  if (path.size() <= names) return SystemError(ERROR_PATH_NOT_FOUND);
  if (path.find_first_of(u"*?", names) != std::u16string::npos) return SystemError(ERROR_FILE_NOT_FOUND);
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(AsWide(path), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find != INVALID_HANDLE_VALUE) {
    ::FindClose(find);
    return {};
  }
  const std::error_code error = LastError();
  // The find calls refuse a root folder by name; it is there all the same.
  if (IsRootFolderPath(path)) {
    const DWORD attributes = ::GetFileAttributesW(AsWide(path));
    if (IsFolderAttribute(attributes)) return {};
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  }
  return error;
}

std::error_code MakeFolder(const std::u16string& path) {
  if (::CreateDirectoryW(AsWide(path), nullptr)) return {};
  const std::error_code error = LastError();
  if (error.value() == ERROR_ALREADY_EXISTS || error.value() == ERROR_FILE_EXISTS) {
    const DWORD attributes = ::GetFileAttributesW(AsWide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return Portable(std::errc::not_a_directory);
    }
  }
  return error;  // ERROR_ALREADY_EXISTS compares equal to std::errc::file_exists
}

std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  // Without MOVEFILE_REPLACE_EXISTING every Windows file system refuses an existing name
  // (ERROR_ALREADY_EXISTS), and a rename within a volume is one step.
  if (::MoveFileExW(AsWide(from), AsWide(to), 0)) return {};
  return LastError();
}

std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) {
  if (::MoveFileExW(AsWide(from), AsWide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
  return LastError();
}

std::error_code RemoveFile(const std::u16string& path) {
  if (::DeleteFileW(AsWide(path))) return {};
  return LastError();
}

std::error_code RemoveEmptyFolder(const std::u16string& path) {
  if (::RemoveDirectoryW(AsWide(path))) return {};
  return LastError();
}

std::error_code RemoveLeftover(const std::u16string& path) {
  if (::DeleteFileW(AsWide(path))) return {};
  if (::GetLastError() == ERROR_SHARING_VIOLATION) return Errc::kLeftoverInUse;  // open without FILE_SHARE_DELETE
  return LastError();
}

std::error_code FlushFolders(const std::vector<std::u16string>&) {
  return {};  // moves are written through (MOVEFILE_WRITE_THROUGH); folders need no flush of their own
}

std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock) {
  lock.reset();
  Handle handle(OpenForAttributes(folder));
  if (!handle.Valid()) return LastError();
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.Get(), &info)) return LastError();
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Portable(std::errc::not_a_directory);
  const std::wstring name = LockName(handle.Get(), info);
  HANDLE mark = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mark) {
    // Made by a pass of another user, whose object this user may not open.
    if (::GetLastError() == ERROR_ACCESS_DENIED) return Errc::kFolderInUse;
    return LastError();
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mark);
    return Errc::kFolderInUse;
  }
  lock = std::make_unique<WindowsFolderLock>(handle.Release(), mark);
  return {};
}

std::u16string NewTemporaryPath(const std::u16string& folder) {
  static std::atomic<unsigned> counter{0};
  const std::wstring tail = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) +
                            L"-" + std::to_wstring(counter++);
  return Child(folder, std::u16string(kTemporaryPrefix) + FromWide(tail));
}

// ---- File ----

File::File(File&& other) noexcept : handle_(other.handle_), uncached_(other.uncached_) {
  other.handle_ = -1;
  other.uncached_ = false;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::CloseHandle(AsHandle(handle_));
    handle_ = other.handle_;
    uncached_ = other.uncached_;
    other.handle_ = -1;
    other.uncached_ = false;
  }
  return *this;
}

File::~File() {
  if (IsOpen()) ::CloseHandle(AsHandle(handle_));
}

bool File::IsOpen() const { return handle_ != -1; }

namespace {

// Opens a file that must be a regular disk file; a folder or a device is refused without
// reading from it.
std::error_code OpenRegular(const std::u16string& path, DWORD flags, HANDLE& opened) {
  Handle file(::CreateFileW(AsWide(path), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!file.Valid()) {
    const std::error_code error = LastError();
    // A folder cannot be opened for its data: access denied.
    if (error.value() == ERROR_ACCESS_DENIED && IsFolderAttribute(::GetFileAttributesW(AsWide(path)))) {
      return Errc::kNotARegularFile;
    }
    return error;
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) return Errc::kNotARegularFile;
  opened = file.Release();
  return {};
}

}  // namespace

std::error_code File::OpenForReading(const std::u16string& path) {
  *this = File();
  HANDLE opened = INVALID_HANDLE_VALUE;
  if (auto error = OpenRegular(path, FILE_FLAG_SEQUENTIAL_SCAN, opened)) return error;
  handle_ = FromHandle(opened);
  return {};
}

std::error_code File::OpenFromDisk(const std::u16string& path) {
  *this = File();
  HANDLE opened = INVALID_HANDLE_VALUE;
  if (auto error = OpenRegular(path, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, opened)) return error;
  handle_ = FromHandle(opened);
  uncached_ = true;
  return {};
}

std::error_code File::CreateTemporary(const std::u16string& folder, std::u16string& path) {
  *this = File();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::u16string candidate = NewTemporaryPath(folder);
    HANDLE created = ::CreateFileW(AsWide(candidate), GENERIC_READ | GENERIC_WRITE, kShareTemporary, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE) {
      handle_ = FromHandle(created);
      path = candidate;
      return {};
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return SystemError(static_cast<int>(error));
  }
  return SystemError(ERROR_FILE_EXISTS);
}

std::error_code File::CreateNew(const std::u16string& path) {
  *this = File();
  HANDLE created = ::CreateFileW(AsWide(path), GENERIC_READ | GENERIC_WRITE, kShareTemporary, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) return LastError();
  handle_ = FromHandle(created);
  return {};
}

std::error_code File::OpenForWriting(const std::u16string& path) {
  *this = File();
  HANDLE opened = ::CreateFileW(AsWide(path), GENERIC_READ | GENERIC_WRITE, kShareTemporary, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return LastError();
  handle_ = FromHandle(opened);
  return {};
}

std::error_code File::Status(FileStatus& status) const {
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  return StatusOf(AsHandle(handle_), status);
}

std::error_code File::Read(void* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  char* out = static_cast<char*>(buffer);
  if (uncached_) return ReadUncached(AsHandle(handle_), out, size, got);
  while (got < size) {
    DWORD done = 0;
    const auto step = static_cast<DWORD>(std::min<std::size_t>(size - got, kMaxStep));
    if (!::ReadFile(AsHandle(handle_), out + got, step, &done, nullptr)) {
      got = 0;
      return LastError();
    }
    if (done == 0) break;  // the end of the file
    got += done;
  }
  return {};
}

std::error_code File::ReadIntoCache(std::uint64_t offset, std::uint64_t length, std::uint64_t& got) {
  got = 0;
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  // Read at the offset and let go: the cache manager keeps what a cached handle read.
  std::vector<char> buffer(std::min<std::uint64_t>(length, 1u << 20));
  while (got < length) {
    OVERLAPPED at{};
    const std::uint64_t from = offset + got;
    at.Offset = static_cast<DWORD>(from & 0xffffffffu);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    DWORD done = 0;
    const auto step = static_cast<DWORD>(std::min<std::uint64_t>(length - got, buffer.size()));
    if (!::ReadFile(AsHandle(handle_), buffer.data(), step, &done, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return LastError();
    }
    if (done == 0) break;
    got += done;
  }
  return {};
}

std::error_code File::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    DWORD done = 0;
    const auto step = static_cast<DWORD>(std::min<std::size_t>(size, kMaxStep));
    if (!::WriteFile(AsHandle(handle_), in, step, &done, nullptr)) return LastError();
    if (done == 0) return SystemError(ERROR_WRITE_FAULT);
    in += done;
    size -= done;
  }
  return {};
}

void File::StartWriteback() {
  // Nothing to ask for: the cache manager writes dirty pages behind on its own.
}

std::error_code File::Flush() {
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  if (::FlushFileBuffers(AsHandle(handle_))) return {};
  return LastError();
}

std::error_code File::FlushVolume(bool& wholeVolume) {
  // Flushing the volume itself needs an administrator's handle; the file's flush also makes the
  // file system write its metadata for it.
  wholeVolume = false;
  return Flush();
}

std::error_code File::TakeAttributes(const FileStatus& source) {
  if (!IsOpen()) return SystemError(ERROR_INVALID_HANDLE);
  // Permission bits do not apply on Windows.
  const FILETIME accessed = ToFiletime(source.accessed);
  const FILETIME modified = ToFiletime(source.modified);
  if (::SetFileTime(AsHandle(handle_), nullptr, &accessed, &modified)) return {};
  return LastError();
}

std::error_code File::Close() {
  if (!IsOpen()) return {};
  const HANDLE handle = AsHandle(handle_);
  handle_ = -1;
  uncached_ = false;
  if (::CloseHandle(handle)) return {};
  return LastError();
}

std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                              const std::function<bool(std::uint64_t)>& progress, File& target,
                              ContentHasher* hasher) {
  // The system's copy hands its bytes to no one: the caller reads, hashes and writes them itself.
  if (hasher) return std::make_error_code(std::errc::function_not_supported);
  {
    // Only a regular disk file is copied: no folders, devices or pipes. Opened for its
    // attributes only, so that nothing is read from a device.
    Handle source(OpenForAttributes(from));
    if (!source.Valid()) return LastError();
    FileStatus status;
    if (auto error = StatusOf(source.Get(), status)) return error;
    if (status.type != FileType::kFile) return Errc::kNotARegularFile;
  }

  // The system's copy: block cloning on ReFS, offloaded copies on SMB and SAN volumes.
  CopyState state;
  state.progress = &progress;
  BOOL cancel = FALSE;
  if (!::CopyFileExW(AsWide(from), AsWide(to), &CopyProgress, &state, &cancel, COPY_FILE_FAIL_IF_EXISTS)) {
    const std::error_code error = LastError();
    // The system removes its partial target itself; once the copy had created it (the progress
    // routine ran, so it was not there before), make sure.
    if (state.started && error.value() != ERROR_FILE_EXISTS) ::DeleteFileW(AsWide(to));
    if (state.exception) std::rethrow_exception(state.exception);
    if (state.cancelled) return Errc::kCancelled;
    return error;
  }

  // From here on `to` is this copy's own, and is removed again on failure.
  auto undo = [&](std::error_code error) {
    (void)target.Close();
    ::DeleteFileW(AsWide(to));
    return error;
  };
  // The copy takes the source's attributes; a read-only one could not be opened for writing.
  const DWORD attributes = ::GetFileAttributesW(AsWide(to));
  if (attributes == INVALID_FILE_ATTRIBUTES) return undo(LastError());
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      !::SetFileAttributesW(AsWide(to), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    return undo(LastError());
  }
  if (auto error = target.OpenForWriting(to)) return undo(error);
  // Where the copy's writes ended, as after a copy through the file's own handle.
  if (!::SetFilePointerEx(AsHandle(target.NativeHandle()), LARGE_INTEGER{}, nullptr, FILE_END)) {
    return undo(LastError());
  }
  FileStatus copied;
  if (auto error = target.Status(copied)) return undo(error);
  // Not every copy reports its chunks (Wine reports none): the last report is always the whole size.
  if (!state.reported || state.lastReported != copied.size) {
    bool goOn = true;
    try {
      goOn = !progress || progress(copied.size);
    } catch (...) {
      undo({});
      throw;
    }
    if (!goOn) return undo(Errc::kCancelled);
  }
  return {};
}

}  // namespace marlowin::platform

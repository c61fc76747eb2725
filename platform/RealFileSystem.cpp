// The operating system's file system behind the pass's seam: each call is the platform's own
// (Unix/Files.cpp, Windows/Files.cpp), with nothing kept between calls.
#include "platform/FileSystem.h"

namespace marlowin::platform {
namespace {

class RealFile final : public OpenFile {
 public:
  explicit RealFile(File file) : file_(std::move(file)) {}
  File& Native() { return file_; }

  std::error_code Read(void* buffer, std::size_t size, std::size_t& got) override {
    return file_.Read(buffer, size, got);
  }
  std::error_code Write(const void* data, std::size_t size) override { return file_.Write(data, size); }
  std::error_code Status(FileStatus& status) override { return file_.Status(status); }
  void StartWriteback() override { file_.StartWriteback(); }
  std::error_code Flush() override { return file_.Flush(); }
  std::error_code FlushVolume(bool& wholeVolume) override { return file_.FlushVolume(wholeVolume); }
  std::error_code TakeAttributes(const FileStatus& source) override { return file_.TakeAttributes(source); }
  std::error_code Close() override { return file_.Close(); }

 private:
  File file_;
};

// Opens with one of File's calls and hands the file over on success.
template <typename Open>
std::error_code Opened(std::unique_ptr<OpenFile>& out, Open open) {
  File file;
  if (const std::error_code error = open(file)) return error;
  out = std::make_unique<RealFile>(std::move(file));
  return {};
}

class RealFileSystem final : public FileSystem {
 public:
  std::error_code ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries) override {
    return platform::ListFolder(folder, entries);
  }
  std::error_code GetStatus(const std::u16string& path, FileStatus& status) override {
    return platform::GetStatus(path, status);
  }
  std::error_code GetLinkStatus(const std::u16string& path, FileStatus& status) override {
    return platform::GetLinkStatus(path, status);
  }
  std::error_code FreeSpace(const std::u16string& folder, std::uint64_t& bytes) override {
    return platform::FreeSpace(folder, bytes);
  }
  std::error_code FoldsCase(const std::u16string& folder, bool& folds) override {
    return platform::FoldsCase(folder, folds);
  }
  std::error_code DescribeVolume(const std::u16string& folder, VolumeFacts& facts) override {
    return platform::DescribeVolume(folder, facts);
  }
  std::error_code ResolvePath(const std::u16string& path, std::u16string& resolved) override {
    return platform::ResolvePath(path, resolved);
  }
  std::error_code LockFolder(const std::u16string& folder, std::unique_ptr<FolderLock>& lock) override {
    return platform::LockFolder(folder, lock);
  }

  std::error_code OpenForReading(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return Opened(file, [&](File& f) { return f.OpenForReading(path); });
  }
  std::error_code OpenFromDisk(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return Opened(file, [&](File& f) { return f.OpenFromDisk(path); });
  }
  std::error_code CreateTemporary(const std::u16string& folder, std::u16string& path,
                                  std::unique_ptr<OpenFile>& file) override {
    return Opened(file, [&](File& f) { return f.CreateTemporary(folder, path); });
  }
  std::error_code OpenForWriting(const std::u16string& path, std::unique_ptr<OpenFile>& file) override {
    return Opened(file, [&](File& f) { return f.OpenForWriting(path); });
  }
  std::error_code CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                const std::function<bool(std::uint64_t)>& progress,
                                std::unique_ptr<OpenFile>& file, ContentHasher* hasher) override {
    return Opened(file, [&](File& f) { return platform::CopyToNewFile(from, to, progress, f, hasher); });
  }
  std::u16string NewTemporaryPath(const std::u16string& folder) override { return platform::NewTemporaryPath(folder); }

  std::error_code MakeFolder(const std::u16string& path) override { return platform::MakeFolder(path); }
  std::error_code RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return platform::RenameNoReplace(from, to);
  }
  std::error_code MoveReplacing(const std::u16string& from, const std::u16string& to) override {
    return platform::MoveReplacing(from, to);
  }
  std::error_code RemoveFile(const std::u16string& path) override { return platform::RemoveFile(path); }
  std::error_code RemoveEmptyFolder(const std::u16string& path) override { return platform::RemoveEmptyFolder(path); }
  std::error_code RemoveLeftover(const std::u16string& path) override { return platform::RemoveLeftover(path); }
  std::error_code FlushFolders(const std::vector<std::u16string>& folders) override {
    return platform::FlushFolders(folders);
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeRealFileSystem() { return std::make_unique<RealFileSystem>(); }

}  // namespace marlowin::platform

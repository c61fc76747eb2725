#include "tests/support/RecordingFileSystem.h"

#include "collector/plan/PlanLines.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::testing {
namespace {

// An open file of the recording file system: its calls are written down and may fail too.
class RecordedFile final : public platform::OpenFile {
 public:
  RecordedFile(RecordingFileSystem& fs, std::u16string path, std::unique_ptr<platform::OpenFile> real)
      : fs_(fs), path_(std::move(path)), real_(std::move(real)) {}

  std::error_code Read(void* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    return fs_.Run(fs_.Line("read", path_), [&] { return real_->Read(buffer, size, got); });
  }
  std::error_code Write(const void* data, std::size_t size) override {
    return fs_.Run(fs_.Line("write", path_), [&] { return real_->Write(data, size); });
  }
  std::error_code Status(platform::FileStatus& status) override {
    return fs_.Run(fs_.Line("status-of", path_), [&] { return real_->Status(status); });
  }
  void StartWriteback() override { real_->StartWriteback(); }
  std::error_code Flush() override { return fs_.Run(fs_.Line("flush", path_), [&] { return real_->Flush(); }); }
  std::error_code FlushVolume(bool& wholeVolume) override {
    wholeVolume = false;
    return fs_.Run(fs_.Line("flush-volume", path_), [&] { return real_->FlushVolume(wholeVolume); });
  }
  std::error_code TakeAttributes(const platform::FileStatus& source) override {
    return fs_.Run(fs_.Line("attributes", path_), [&] { return real_->TakeAttributes(source); });
  }
  std::error_code Close() override {
    // A failed close still closes: the real one is closed either way.
    const std::error_code error = fs_.Run(fs_.Line("close", path_), [&] { return real_->Close(); });
    if (error) (void)real_->Close();
    return error;
  }

 private:
  RecordingFileSystem& fs_;
  std::u16string path_;
  std::unique_ptr<platform::OpenFile> real_;
};

}  // namespace

RecordingFileSystem::RecordingFileSystem(std::u16string root) : FileSystemWrapper(*real_), root_(std::move(root)) {}

RecordingFileSystem::~RecordingFileSystem() = default;

std::vector<std::string> RecordingFileSystem::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void RecordingFileSystem::Clear() {
  std::lock_guard lock(mutex_);
  calls_.clear();
  changes_.clear();
  copies_.clear();
  copyOfTemporary_.clear();
}

std::vector<std::string> RecordingFileSystem::Changes() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> changes;
  for (std::size_t i = 0; i < changes_.size(); ++i) {
    const auto copy = copies_.find(i);
    if (copy == copies_.end()) {
      changes.push_back(changes_[i]);
      continue;
    }
    // A copy of a copy staged in the same pass is shown from the target of the one it was made from.
    std::u16string from = copy->second.from;
    if (const auto of = copyOfTemporary_.find(from); of != copyOfTemporary_.end()) from = copies_.at(of->second).to;
    changes.push_back(copy->second.to.empty() ? plan::OperationLine("copy", Show(from), u"(not put in place)")
                                              : plan::OperationLine("copy", Show(from), Show(copy->second.to)));
  }
  return changes;
}

std::u16string RecordingFileSystem::Show(std::u16string path) const {
  if (path.compare(0, root_.size(), root_) == 0) path.replace(0, root_.size(), u"<root>");
  for (char16_t& c : path) {
    if (c == platform::kPathSeparator) c = u'/';
  }
  const std::size_t name = path.find_last_of(u'/') + 1;
  if (platform::IsTemporaryName(std::u16string_view(path).substr(name))) {
    path.replace(name, std::u16string::npos, std::u16string(platform::kTemporaryPrefix) + u"*");
  }
  return path;
}

std::string RecordingFileSystem::ShowLine(const std::string& line) const {
  std::string shown = line;
  const std::string root = platform::ToDisplay(root_);
  for (std::size_t at; (at = shown.find(root)) != std::string::npos;) shown.replace(at, root.size(), "<root>");
  for (char& c : shown) {
    if (c == static_cast<char>(platform::kPathSeparator)) c = '/';
  }
  return shown;
}

std::string RecordingFileSystem::Line(const char* verb, const std::u16string& path, const std::u16string& to) const {
  return plan::OperationLine(verb, Show(path), to.empty() ? std::u16string() : Show(to));
}

void RecordingFileSystem::Note(const std::string& line) {
  std::lock_guard lock(mutex_);
  calls_.push_back(line);
}

void RecordingFileSystem::NoteChange(std::string line) {
  std::lock_guard lock(mutex_);
  changes_.push_back(std::move(line));
}

void RecordingFileSystem::NoteCopy(const std::u16string& from, const std::u16string& temporary) {
  std::lock_guard lock(mutex_);
  copies_[changes_.size()] = {from, {}};
  copyOfTemporary_[temporary] = changes_.size();
  changes_.emplace_back();
}

std::error_code RecordingFileSystem::Wrap(const std::u16string& path, std::error_code error,
                                          std::unique_ptr<platform::OpenFile>& file) {
  if (!error) file = std::make_unique<RecordedFile>(*this, path, std::move(file));
  return error;
}

std::error_code RecordingFileSystem::ListFolder(const std::u16string& folder, std::vector<platform::FolderEntry>& entries) {
  return Run(Line("list", folder), [&] { return real_->ListFolder(folder, entries); });
}
std::error_code RecordingFileSystem::GetStatus(const std::u16string& path, platform::FileStatus& status) {
  return Run(Line("status", path), [&] { return real_->GetStatus(path, status); });
}
std::error_code RecordingFileSystem::GetLinkStatus(const std::u16string& path, platform::FileStatus& status) {
  return Run(Line("link-status", path), [&] { return real_->GetLinkStatus(path, status); });
}
std::error_code RecordingFileSystem::FreeSpace(const std::u16string& folder, std::uint64_t& bytes) {
  return Run(Line("free-space", folder), [&] { return real_->FreeSpace(folder, bytes); });
}
std::error_code RecordingFileSystem::DescribeVolume(const std::u16string& folder, platform::VolumeFacts& facts) {
  return Run(Line("describe-volume", folder), [&] { return real_->DescribeVolume(folder, facts); });
}
std::error_code RecordingFileSystem::FoldsCase(const std::u16string& folder, bool& folds) {
  return Run(Line("folds-case", folder), [&] { return real_->FoldsCase(folder, folds); });
}
std::error_code RecordingFileSystem::ResolvePath(const std::u16string& path, std::u16string& resolved) {
  return Run(Line("resolve", path), [&] { return real_->ResolvePath(path, resolved); });
}
std::error_code RecordingFileSystem::LockFolder(const std::u16string& folder, std::unique_ptr<platform::FolderLock>& lock) {
  return Run(Line("lock", folder), [&] { return real_->LockFolder(folder, lock); });
}

std::error_code RecordingFileSystem::OpenForReading(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  const std::error_code error = Run(Line("open", path), [&] { return real_->OpenForReading(path, file); });
  if (!error) {
    std::lock_guard lock(mutex_);
    lastRead_[std::this_thread::get_id()] = path;
  }
  return Wrap(path, error, file);
}
std::error_code RecordingFileSystem::OpenFromDisk(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  return Wrap(path, Run(Line("open-from-disk", path), [&] { return real_->OpenFromDisk(path, file); }), file);
}
std::error_code RecordingFileSystem::CreateTemporary(const std::u16string& folder, std::u16string& path,
                                                     std::unique_ptr<platform::OpenFile>& file) {
  const std::error_code error =
      Run(Line("create-temporary", folder), [&] { return real_->CreateTemporary(folder, path, file); });
  if (!error) {
    std::u16string from;
    {
      std::lock_guard lock(mutex_);
      from = lastRead_[std::this_thread::get_id()];
    }
    NoteCopy(from, path);
  }
  return Wrap(path, error, file);
}
std::error_code RecordingFileSystem::OpenForWriting(const std::u16string& path, std::unique_ptr<platform::OpenFile>& file) {
  return Wrap(path, Run(Line("open-for-writing", path), [&] { return real_->OpenForWriting(path, file); }), file);
}
std::error_code RecordingFileSystem::CopyToNewFile(const std::u16string& from, const std::u16string& to,
                                                   const std::function<bool(std::uint64_t)>& progress,
                                                   std::unique_ptr<platform::OpenFile>& file, platform::ContentHasher* hasher) {
  const std::error_code error =
      Run(Line("kernel-copy", from, to), [&] { return real_->CopyToNewFile(from, to, progress, file, hasher); });
  if (!error) NoteCopy(from, to);
  return Wrap(to, error, file);
}
std::u16string RecordingFileSystem::NewTemporaryPath(const std::u16string& folder) {
  return real_->NewTemporaryPath(folder);
}

std::error_code RecordingFileSystem::MakeFolder(const std::u16string& path) {
  const std::string line = Line("mkdir", path);
  const std::error_code error = Run(line, [&] { return real_->MakeFolder(path); });
  // A folder there already is no change, nor a file deleted that is not there.
  if (error != std::errc::file_exists) NoteChange(line);
  return error;
}
std::error_code RecordingFileSystem::RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  const std::string line = Line("move", from, to);
  NoteChange(line);
  return Run(line, [&] { return real_->RenameNoReplace(from, to); });
}
std::error_code RecordingFileSystem::MoveReplacing(const std::u16string& from, const std::u16string& to) {
  const std::error_code error = Run(Line("move-in-place", from, to), [&] { return real_->MoveReplacing(from, to); });
  if (!error) {
    std::lock_guard lock(mutex_);
    if (const auto copy = copyOfTemporary_.find(from); copy != copyOfTemporary_.end()) copies_[copy->second].to = to;
  }
  return error;
}
std::error_code RecordingFileSystem::RemoveFile(const std::u16string& path) {
  const std::string line = Line("delete", path);
  const std::error_code error = Run(line, [&] { return real_->RemoveFile(path); });
  if (!platform::IsTemporaryName(platform::FileNameOf(path)) && error != std::errc::no_such_file_or_directory) {
    NoteChange(line);
  }
  return error;
}
std::error_code RecordingFileSystem::RemoveEmptyFolder(const std::u16string& path) {
  const std::string line = Line("rmdir", path);
  const std::error_code error = Run(line, [&] { return real_->RemoveEmptyFolder(path); });
  if (error != std::errc::no_such_file_or_directory) NoteChange(line);
  return error;
}
std::error_code RecordingFileSystem::RemoveLeftover(const std::u16string& path) {
  // Leftovers are shown by their own names: the test put them there.
  std::u16string shown = path;
  if (shown.compare(0, root_.size(), root_) == 0) shown.replace(0, root_.size(), u"<root>");
  for (char16_t& c : shown) {
    if (c == platform::kPathSeparator) c = u'/';
  }
  const std::string line = plan::OperationLine("remove-leftover", shown);
  NoteChange(line);
  return Run(line, [&] { return real_->RemoveLeftover(path); });
}
std::error_code RecordingFileSystem::FlushFolders(const std::vector<std::u16string>& folders) {
  return Run(folders.empty() ? "flush-folders" : Line("flush-folders", folders.front()),
             [&] { return real_->FlushFolders(folders); });
}

}  // namespace marlowin::testing

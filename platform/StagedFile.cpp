#include "platform/StagedFile.h"

namespace marlowin::platform {

StagedFile::~StagedFile() {
  if (file_) (void)file_->Close();
  if (!path_.empty()) (void)fs_.RemoveFile(path_);  // a temporary: nothing depends on it
}

std::error_code StagedFile::Create() { return fs_.CreateTemporary(folder_, path_, file_); }

std::error_code StagedFile::Write(std::string_view bytes) { return file_->Write(bytes.data(), bytes.size()); }

std::error_code StagedFile::Finish(std::uint32_t permissions) {
  FileStatus attributes;
  attributes.modified = attributes.accessed = Now();
  attributes.permissions = permissions;
  if (std::error_code error = file_->TakeAttributes(attributes)) return error;
  if (std::error_code error = file_->Flush()) return error;
  const std::error_code error = file_->Close();
  file_.reset();
  return error;
}

std::error_code StagedFile::PutInPlace(const std::u16string& path, bool replace) {
  const std::error_code error = replace ? fs_.MoveReplacing(path_, path) : fs_.RenameNoReplace(path_, path);
  if (!error) path_.clear();
  return error;
}

}  // namespace marlowin::platform

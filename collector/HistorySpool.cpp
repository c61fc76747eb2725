// A copy is one record of fixed fields in the machine's own byte order (the file lives only as
// long as the pass): the path's length and UTF-16 units, the size, the modification time, the
// hash, the two flags, the time of the hash.
#include "collector/HistorySpool.h"

#include <algorithm>
#include <cstring>

namespace marlowin {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

template <typename T>
void Put(std::string& buffer, const T& value) {
  buffer.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutTime(std::string& buffer, const sys::FileTime& time) {
  Put(buffer, time.seconds);
  Put(buffer, time.nanoseconds);
}

}  // namespace

HistorySpool::~HistorySpool() { Discard(); }

void HistorySpool::Discard() {
  // A scratch file: what matters is the record written from it, whose failures are told.
  if (file_) (void)file_->Close();
  file_.reset();
  if (!path_.empty()) (void)fs_.RemoveFile(path_);
  path_.clear();
}

std::error_code HistorySpool::Create(const std::u16string& folder) {
  std::u16string path;
  if (std::error_code error = fs_.CreateTemporary(folder, path, file_)) return error;
  path_ = std::move(path);
  return {};
}

std::error_code HistorySpool::Append(const LoggedCopy& copy) {
  const auto length = static_cast<std::uint32_t>(copy.path.size());
  Put(buffer_, length);
  buffer_.append(reinterpret_cast<const char*>(copy.path.data()), length * sizeof(char16_t));
  Put(buffer_, copy.size);
  PutTime(buffer_, copy.modified);
  Put(buffer_, static_cast<std::uint8_t>(copy.xxh128.size()));
  buffer_ += copy.xxh128.substr(0, 255);
  Put(buffer_, static_cast<std::uint8_t>((copy.written ? 1 : 0) | (copy.readBack ? 2 : 0)));
  PutTime(buffer_, copy.hashed);
  ++count_;
  if (buffer_.size() < kBufferSize) return {};
  const std::error_code error = file_->Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return error;
}

std::error_code HistorySpool::Rewind() {
  if (!reading_ && !buffer_.empty()) {
    if (std::error_code error = file_->Write(buffer_.data(), buffer_.size())) return error;
  }
  buffer_.clear();
  taken_ = 0;
  if (file_) {
    if (std::error_code error = file_->Close()) return error;
    file_.reset();
  }
  reading_ = true;
  return fs_.OpenForReading(path_, file_);
}

std::error_code HistorySpool::Refill() {
  if (taken_ < buffer_.size()) return {};
  buffer_.resize(kBufferSize);
  std::size_t got = 0;
  const std::error_code error = file_->Read(buffer_.data(), buffer_.size(), got);
  buffer_.resize(error ? 0 : got);
  taken_ = 0;
  return error;
}

std::error_code HistorySpool::Take(void* into, std::size_t size) {
  auto* out = static_cast<char*>(into);
  while (size > 0) {
    if (std::error_code error = Refill()) return error;
    if (buffer_.empty()) return std::make_error_code(std::errc::io_error);  // shorter than what was written
    const std::size_t piece = std::min(size, buffer_.size() - taken_);
    std::memcpy(out, buffer_.data() + taken_, piece);
    taken_ += piece;
    out += piece;
    size -= piece;
  }
  return {};
}

std::error_code HistorySpool::Next(LoggedCopy& copy, bool& got) {
  got = false;
  if (std::error_code error = Refill()) return error;
  if (buffer_.empty()) return {};  // after the last
  std::uint32_t length = 0;
  std::uint8_t hashLength = 0, flags = 0;
  std::error_code error = Take(&length, sizeof length);
  copy.path.resize(length);
  if (!error) error = Take(copy.path.data(), length * sizeof(char16_t));
  if (!error) error = Take(&copy.size, sizeof copy.size);
  if (!error) error = Take(&copy.modified.seconds, sizeof copy.modified.seconds);
  if (!error) error = Take(&copy.modified.nanoseconds, sizeof copy.modified.nanoseconds);
  if (!error) error = Take(&hashLength, sizeof hashLength);
  copy.xxh128.resize(hashLength);
  if (!error) error = Take(copy.xxh128.data(), hashLength);
  if (!error) error = Take(&flags, sizeof flags);
  if (!error) error = Take(&copy.hashed.seconds, sizeof copy.hashed.seconds);
  if (!error) error = Take(&copy.hashed.nanoseconds, sizeof copy.hashed.nanoseconds);
  if (error) return error;
  copy.written = (flags & 1) != 0;
  copy.readBack = (flags & 2) != 0;
  got = true;
  return {};
}

}  // namespace marlowin

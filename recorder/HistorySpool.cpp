// The spool is a mark, then records: a 32-bit length, that many bytes, their 64-bit checksum,
// all little-endian (a spool left on a disk may be finished by a pass on another computer). The
// first record is the header; each other one a copy or a removal: its kind, its path's length and
// UTF-16 units, then for a copy its size, modification time, hash, flags and the time of its hash.
#include "recorder/HistorySpool.h"

#include <algorithm>
#include <cstring>

#include "platform/ContentHash.h"

namespace marlowin::recorder {
namespace {

constexpr std::string_view kMark = "MARLOWIN-SPOOL1\n";
constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::uint32_t kLongestRecord = 1 << 20;  // far beyond any path: a longer length is a torn one

enum : std::uint8_t { kHeader = 0, kCopy = 1, kRemoval = 2 };
enum : std::uint8_t { kWritten = 1, kReadBack = 2, kOriginal = 4 };

template <typename T>
void Put(std::string& out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i) & 0xFF));
  }
}

void PutTime(std::string& out, const platform::FileTime& time) {
  Put(out, time.seconds);
  Put(out, time.nanoseconds);
}

void PutText(std::string& out, std::string_view text) {
  Put(out, static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF)));
  out.append(text.substr(0, 0xFFFF));
}

void PutPath(std::string& out, const std::u16string& path) {
  Put(out, static_cast<std::uint32_t>(path.size()));
  for (char16_t unit : path) Put(out, static_cast<std::uint16_t>(unit));
}

// Reads a payload front to back; `ok` turns false at the first field that runs past its end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool ok = true;

  template <typename T>
  T Get() {
    if (bytes_.size() - at_ < sizeof(T)) {
      ok = false;
      return T{};
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= std::uint64_t{static_cast<unsigned char>(bytes_[at_ + i])} << (8 * i);
    at_ += sizeof(T);
    return static_cast<T>(value);
  }
  platform::FileTime Time() {
    platform::FileTime time;
    time.seconds = Get<std::int64_t>();
    time.nanoseconds = Get<std::uint32_t>();
    return time;
  }
  std::string Text() {
    const auto length = Get<std::uint16_t>();
    return Bytes(length);
  }
  std::string Bytes(std::size_t length) {
    if (!ok || bytes_.size() - at_ < length) {
      ok = false;
      return {};
    }
    std::string text(bytes_.substr(at_, length));
    at_ += length;
    return text;
  }
  std::u16string Path() {
    const auto length = Get<std::uint32_t>();
    if (!ok || (bytes_.size() - at_) / 2 < length) {
      ok = false;
      return {};
    }
    std::u16string path;
    path.reserve(length);
    for (std::uint32_t i = 0; i < length; ++i) path.push_back(static_cast<char16_t>(Get<std::uint16_t>()));
    return path;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

void AppendRecord(std::string& out, const std::string& payload) {
  Put(out, static_cast<std::uint32_t>(payload.size()));
  out += payload;
  Put(out, platform::Checksum64(payload.data(), payload.size()));
}

}  // namespace

HistorySpool::~HistorySpool() {
  if (file_) (void)file_->Close();  // what matters was flushed; the rest belongs to no mark
}

void HistorySpool::Discard() {
  // Written into a generation, or holding nothing: a file nobody needs any more.
  if (file_) (void)file_->Close();
  file_.reset();
  if (!path_.empty()) (void)fs_.RemoveFile(path_);
  path_.clear();
}

std::error_code HistorySpool::Create(const std::u16string& folder, const SpoolHeader& header) {
  std::u16string path;
  if (std::error_code error = fs_.CreateTemporary(folder, path, file_)) return error;
  path_ = std::move(path);
  header_ = header;
  buffer_ = kMark;
  std::string payload;
  Put(payload, kHeader);
  PutTime(payload, header.started);
  Put(payload, static_cast<std::uint8_t>(header.readBack ? 1 : 0));
  PutText(payload, header.toolVersion);
  PutText(payload, header.hostname);
  AppendRecord(buffer_, payload);
  return {};
}

std::error_code HistorySpool::Append(const SpoolRecord& record) {
  std::string payload;
  Put(payload, record.removal ? kRemoval : kCopy);
  PutPath(payload, record.copy.path);
  if (!record.removal) {
    const LoggedCopy& copy = record.copy;
    Put(payload, copy.size);
    PutTime(payload, copy.modified);
    PutText(payload, copy.xxh128);
    Put(payload, static_cast<std::uint8_t>((copy.written ? kWritten : 0) | (copy.readBack ? kReadBack : 0) |
                                           (copy.original ? kOriginal : 0)));
    PutTime(payload, copy.hashed);
  }
  AppendRecord(buffer_, payload);
  ++count_;
  return buffer_.size() < kBufferSize ? std::error_code() : WriteBuffer();
}

std::error_code HistorySpool::WriteBuffer() {
  if (buffer_.empty()) return {};
  const std::error_code error = file_->Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return error;
}

std::error_code HistorySpool::Flush() {
  if (std::error_code error = WriteBuffer()) return error;
  return file_->Flush();
}

std::error_code HistorySpool::OpenForReading() {
  if (file_) {
    if (std::error_code error = file_->Close()) return error;
    file_.reset();
  }
  buffer_.clear();
  taken_ = 0;
  reading_ = true;
  ended_ = false;
  if (std::error_code error = fs_.OpenForReading(path_, file_)) return error;
  if (std::error_code error = Refill()) return error;
  return {};
}

std::error_code HistorySpool::OpenLeftover(const std::u16string& path, bool& isSpool) {
  isSpool = false;
  path_ = path;
  if (std::error_code error = OpenForReading()) return error;
  if (buffer_.size() < kMark.size() || std::string_view(buffer_).substr(0, kMark.size()) != kMark) return {};
  isSpool = true;
  taken_ = kMark.size();
  std::string payload;
  bool got = false;
  if (std::error_code error = NextPayload(payload, got)) return error;
  Reader reader(payload);
  if (got && reader.Get<std::uint8_t>() == kHeader) {
    header_.started = reader.Time();
    header_.readBack = reader.Get<std::uint8_t>() != 0;
    header_.toolVersion = reader.Text();
    header_.hostname = reader.Text();
  }
  // A spool cut short before its first copy holds nothing to record.
  if (!got || !reader.ok) ended_ = true;
  return {};
}

std::error_code HistorySpool::Rewind() {
  if (!reading_) {
    if (std::error_code error = WriteBuffer()) return error;
  }
  if (std::error_code error = OpenForReading()) return error;
  // Past the mark and the header, which this pass wrote itself.
  taken_ = std::min(buffer_.size(), kMark.size());
  std::string header;
  bool got = false;
  return NextPayload(header, got);
}

std::error_code HistorySpool::Refill() {
  if (taken_ > 0) {
    buffer_.erase(0, taken_);
    taken_ = 0;
  }
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kBufferSize);
  std::size_t got = 0;
  const std::error_code error = file_->Read(buffer_.data() + had, kBufferSize, got);
  buffer_.resize(had + (error ? 0 : got));
  return error;
}

std::error_code HistorySpool::NextPayload(std::string& payload, bool& got) {
  got = false;
  if (ended_) return {};
  // Enough bytes for the length, the payload and its checksum, or the file's end.
  const auto available = [this] { return buffer_.size() - taken_; };
  for (std::size_t want = 4;;) {
    while (available() < want) {
      const std::size_t before = available();
      if (std::error_code error = Refill()) return error;
      if (available() == before) {
        ended_ = true;  // the end, or a record cut short: nothing more counts
        return {};
      }
    }
    if (want > 4) break;
    Reader length(std::string_view(buffer_).substr(taken_, 4));
    const auto size = length.Get<std::uint32_t>();
    if (size > kLongestRecord) {
      ended_ = true;
      return {};
    }
    want = 4 + std::size_t{size} + 8;
  }
  Reader record(std::string_view(buffer_).substr(taken_));
  const auto size = record.Get<std::uint32_t>();
  payload = record.Bytes(size);
  const auto checksum = record.Get<std::uint64_t>();
  if (!record.ok || checksum != platform::Checksum64(payload.data(), payload.size())) {
    ended_ = true;
    return {};
  }
  taken_ += 4 + std::size_t{size} + 8;
  got = true;
  return {};
}

std::error_code HistorySpool::Next(SpoolRecord& record, bool& got) {
  std::string payload;
  if (std::error_code error = NextPayload(payload, got)) return error;
  if (!got) return {};
  Reader reader(payload);
  const auto kind = reader.Get<std::uint8_t>();
  record = {};
  record.removal = kind == kRemoval;
  record.copy.path = reader.Path();
  if (kind == kCopy) {
    record.copy.size = reader.Get<std::uint64_t>();
    record.copy.modified = reader.Time();
    record.copy.xxh128 = reader.Text();
    const auto flags = reader.Get<std::uint8_t>();
    record.copy.written = (flags & kWritten) != 0;
    record.copy.readBack = (flags & kReadBack) != 0;
    record.copy.original = (flags & kOriginal) != 0;
    record.copy.hashed = reader.Time();
  }
  // A record of a kind this program does not write ends the spool as a torn one does.
  if (!reader.ok || (kind != kCopy && kind != kRemoval)) {
    ended_ = true;
    got = false;
  }
  return {};
}

}  // namespace marlowin::recorder

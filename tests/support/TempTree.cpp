#include "tests/support/TempTree.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

#include "platform/ContentHash.h"
#include "platform/FileSystem.h"
#include "platform/NativeName.h"

namespace fs = std::filesystem;

namespace marlowin::testing {
namespace {

// Names may hold any bytes on POSIX, so paths go through our own mapping, not the
// library's UTF-8 conversion (which rejects the escapes of non-UTF-8 bytes).
fs::path ToFsPath(const std::u16string& path) {
#ifdef _WIN32
  return fs::path(std::wstring(path.begin(), path.end()));
#else
  return fs::path(platform::ToNativeName(path));
#endif
}

std::u16string FromFsPath(const fs::path& path) {
#ifdef _WIN32
  const std::wstring wide = path.native();
  return std::u16string(wide.begin(), wide.end());
#else
  return platform::FromNativeName(path.native());
#endif
}

void SetVariable(const char* name, const std::u16string& value) {
#ifdef _WIN32
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const std::wstring wideValue(value.begin(), value.end());
  SetEnvironmentVariableW(wideName.c_str(), value.empty() ? nullptr : wideValue.c_str());
#else
  if (value.empty()) {
    ::unsetenv(name);
  } else {
    ::setenv(name, platform::ToNativeName(value).c_str(), 1);
  }
#endif
}

constexpr const char* kRecordsSet = "MARLOWIN_TEST_RECORDS";

std::optional<std::u16string> Variable(const char* name) {
#ifdef _WIN32
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), size));
  return std::u16string(value.begin(), value.end());
#else
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return platform::FromNativeName(value);
#endif
}

}  // namespace

ScopedVariable::ScopedVariable(const char* name, const std::u16string& value)
    : name_(name), previous_(Variable(name)) {
  SetVariable(name, value);
}

ScopedVariable::~ScopedVariable() { SetVariable(name_, previous_.value_or(u"")); }

TemporaryRecords::TemporaryRecords() {
  if (Variable(kRecordsSet)) return;
  tree_ = std::make_unique<TempTree>();
  SetVariable("XDG_STATE_HOME", tree_->Root());
  SetVariable("LOCALAPPDATA", tree_->Root());
  SetVariable(kRecordsSet, u"1");
}

TemporaryRecords::~TemporaryRecords() {
  if (!tree_) return;
  SetVariable("XDG_STATE_HOME", u"");
  SetVariable("LOCALAPPDATA", u"");
  SetVariable(kRecordsSet, u"");
}

std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TempTree::TempTree() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        base / ("marlowin-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      // The canonical form, so that paths formed by the program compare equal to ours.
      root_ = FromFsPath(fs::canonical(candidate));
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree() {
  std::error_code ignored;
  fs::remove_all(ToFsPath(root_), ignored);
}

std::u16string TempTree::Path(std::u16string_view relative) const {
  std::u16string path = root_;
  if (relative.empty()) return path;
  path.push_back(platform::kPathSeparator);
  for (char16_t c : relative) path.push_back(c == u'/' ? platform::kPathSeparator : c);
  return path;
}

void TempTree::MakeFolder(std::u16string_view relative) const {
  fs::create_directories(ToFsPath(Path(relative)));
}

void TempTree::WriteFile(std::u16string_view relative, std::string_view content) const {
  const fs::path path = ToFsPath(Path(relative));
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void TempTree::WriteSparseFile(std::u16string_view relative, std::uint64_t size) const {
  WriteFile(relative, "");
  fs::resize_file(ToFsPath(Path(relative)), size);
}

std::string TempTree::ReadFile(std::u16string_view relative) const {
  std::ifstream in(ToFsPath(Path(relative)), std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void TempTree::Remove(std::u16string_view relative) const { fs::remove_all(ToFsPath(Path(relative))); }

std::vector<std::u16string> TempTree::Names(std::u16string_view relative) const {
  std::vector<std::u16string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(ToFsPath(Path(relative)), error)) {
    names.push_back(entry.path().filename().u16string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool TempTree::Exists(std::u16string_view relative) const {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(ToFsPath(Path(relative)), ignored));
}

namespace {

// A file's content as a dump shows it: small files as they are, large ones by size and hash,
// which keeps dumps of clips of megabytes quick to make and compare.
std::string Shown(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string content;
  platform::ContentHasher hasher;
  std::uint64_t size = 0;
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    const auto got = static_cast<std::size_t>(in.gcount());
    if (content.size() <= 1024) content.append(buffer.data(), std::min<std::size_t>(got, 1025));
    hasher.Update(buffer.data(), got);
    size += got;
  }
  if (size <= 1024) return content.substr(0, static_cast<std::size_t>(size));
  return "[" + std::to_string(size) + " bytes, xxh128 " + hasher.Hex() + "]";
}

}  // namespace

std::string TempTree::Dump() const { return Dump(u""); }

std::string TempTree::Dump(std::u16string_view relative) const {
  const fs::path top = ToFsPath(Path(relative));
  std::vector<std::string> lines;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top)) {
    std::u16string name = FromFsPath(fs::relative(entry.path(), top));
    std::replace(name.begin(), name.end(), platform::kPathSeparator, u'/');
    std::string line = platform::ToDisplay(name);
    if (entry.is_directory()) {
      line += "/";
    } else {
      line += " = " + Shown(entry.path());
    }
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string dump;
  for (const std::string& line : lines) dump += line + "\n";
  return dump;
}

}  // namespace marlowin::testing

#include "collector/naming/NamingRules.h"

#include <regex>
#include <vector>

namespace marlowin::naming {
namespace {

constexpr std::u16string_view kTokenSeparator = u"_";
constexpr std::u16string_view kDoubleSeparator = u"__";
constexpr std::u16string_view kClipNumberPrefix = u"__m";
constexpr std::u16string_view kClipExtension = u".mp4";
constexpr std::u16string_view kHiresMark = u"_hires";
constexpr std::u16string_view kNoIntCopyNumber = u"01";
constexpr std::u16string_view kCleanupNameTail = u"_hires.mp4";

// The pieces of a name between underscores, empty pieces dropped.
std::vector<std::u16string_view> SplitTokens(std::u16string_view name) {
  std::vector<std::u16string_view> pieces;
  std::size_t pos = 0;
  while (pos <= name.size()) {
    std::size_t end = name.find(kTokenSeparator, pos);
    if (end == std::u16string_view::npos) end = name.size();
    if (end > pos) pieces.push_back(name.substr(pos, end - pos));
    pos = end + 1;
  }
  return pieces;
}

// "%s_%s_<infix>_%s", filled with the three tokens.
std::u16string FormatFolderName(const FolderTokens& t, std::u16string_view infix) {
  std::u16string name;
  name.reserve(t.first.size() + t.second.size() + t.last.size() + infix.size() + 3);
  name.append(t.first).append(kTokenSeparator).append(t.second).append(kTokenSeparator);
  name.append(infix).append(kTokenSeparator).append(t.last);
  return name;
}

// The ECMAScript engine works on wchar_t (32 bits on POSIX): names reach it as ASCII only,
// so widening each code unit keeps the match exact.
const std::wregex& ClipNumberPattern() {
  static const std::wregex pattern(L"^v(\\d{2})(?:_hires)?$", std::regex::ECMAScript);
  return pattern;
}

}  // namespace

FolderVerdict ClassifyFolderName(std::u16string_view folderName) {
  const auto pieces = SplitTokens(folderName);
  FolderVerdict verdict;
  if (pieces.empty()) {
    verdict.kind = FolderVerdict::EndPass;
    return verdict;
  }
  if (pieces.size() < 3) {
    verdict.kind = FolderVerdict::Skip;
    return verdict;
  }
  verdict.tokens = {std::u16string(pieces[0]), std::u16string(pieces[1]),
                    std::u16string(pieces.back())};
  if (folderName == MakeAdlFolderName(verdict.tokens) ||
      folderName.find(kDoubleSeparator) != std::u16string_view::npos) {
    verdict.kind = FolderVerdict::Skip;
    return verdict;
  }
  verdict.kind = FolderVerdict::Handle;
  return verdict;
}

std::u16string MakeAdlFolderName(const FolderTokens& tokens) {
  return FormatFolderName(tokens, u"adl");
}

std::u16string MakeIntFolderName(const FolderTokens& tokens, std::u16string_view clipNumber) {
  std::u16string name = FormatFolderName(tokens, u"int");
  name.append(kClipNumberPrefix).append(clipNumber);
  return name;
}

std::optional<ClipNameParts> SplitClipName(std::u16string_view fileName) {
  const std::size_t dot = fileName.rfind(u'.');
  if (dot == std::u16string_view::npos) return std::nullopt;
  return ClipNameParts{std::u16string(fileName.substr(0, dot)),
                       std::u16string(fileName.substr(dot))};
}

bool IsClipName(std::u16string_view extension) { return extension == kClipExtension; }

bool HasHiresMark(std::u16string_view fileName) {
  // Only A to Z are folded, so the test does not depend on any locale.
  std::u16string lower(fileName);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower.find(kHiresMark) != std::u16string::npos;
}

std::u16string MakeAdlClipName(std::u16string_view fileName, std::u16string_view baseName,
                               std::u16string_view extension) {
  if (HasHiresMark(fileName)) return std::u16string(fileName);
  std::u16string name(baseName);
  name.append(kHiresMark).append(extension);
  return name;
}

std::u16string MakeIntClipName(std::u16string_view baseName, std::u16string_view extension) {
  std::u16string name(baseName.substr(0, baseName.find(kHiresMark)));
  name.append(kHiresMark).append(extension);
  return name;
}

std::optional<std::u16string> ReadClipNumber(std::u16string_view baseName) {
  // Only ASCII digits count, whatever the C library's wide digit class holds, so that a
  // name gets the same clip number on every platform.
  for (char16_t c : baseName) {
    if (c > 0x7F) return std::nullopt;
  }
  const std::wstring wide(baseName.begin(), baseName.end());
  std::wsmatch match;
  if (!std::regex_match(wide, match, ClipNumberPattern())) return std::nullopt;
  const std::wstring digits = match[1].str();
  return std::u16string(digits.begin(), digits.end());
}

bool NeedsIntCopy(std::u16string_view clipNumber) { return clipNumber != kNoIntCopyNumber; }

std::u16string MakeCleanupClipName(std::u16string_view greatestClipNumber) {
  std::u16string name(u"v");
  name.append(greatestClipNumber).append(kCleanupNameTail);
  return name;
}

bool IsCollectedFolderName(std::u16string_view folderName) {
  const FolderVerdict verdict = ClassifyFolderName(folderName);
  if (!verdict.tokens.last.empty() && folderName == MakeAdlFolderName(verdict.tokens)) return true;
  // An int folder: the name of its shot's tokens, "__m" and a clip number. Made again from the
  // parts it splits into, so that only a name the rules give counts.
  const std::size_t mark = folderName.rfind(kClipNumberPrefix);
  if (mark == std::u16string_view::npos) return false;
  const std::u16string_view number = folderName.substr(mark + kClipNumberPrefix.size());
  const std::optional<std::u16string> clipNumber = ReadClipNumber(u"v" + std::u16string(number));
  if (!clipNumber || *clipNumber != number) return false;
  const FolderVerdict shot = ClassifyFolderName(folderName.substr(0, mark));
  return !shot.tokens.last.empty() && folderName == MakeIntFolderName(shot.tokens, number);
}

}  // namespace marlowin::naming

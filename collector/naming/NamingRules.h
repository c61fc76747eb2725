#pragma once

#include <optional>
#include <string>
#include <string_view>

// Room collector/naming (marlowin::naming): the naming rules, pure functions from the names the
// pass meets to the names it makes, the clean-up rule, and the names of the folders a shot's clips
// lie in and its copies go to. The lowest room of the collector: it uses only platform/.
namespace marlowin::naming {

inline constexpr std::u16string_view kClipFolderName = u"MP4 HIGH RES";  // of a shot folder: its clips
inline constexpr std::u16string_view kVideoFolderName = u"video";        // of an adl or int folder: its copies

struct FolderTokens {
  std::u16string first;
  std::u16string second;
  std::u16string last;
};

struct FolderVerdict {
  enum Kind { Handle, Skip, EndPass };
  Kind kind = Skip;
  FolderTokens tokens;  // set for Handle, and for a Skip that got as far as three tokens
};

struct ClipNameParts {
  std::u16string baseName;   // before the last "."
  std::u16string extension;  // from the last "." on, dot included
};

FolderVerdict ClassifyFolderName(std::u16string_view folderName);
std::u16string MakeAdlFolderName(const FolderTokens& tokens);
std::u16string MakeIntFolderName(const FolderTokens& tokens, std::u16string_view clipNumber);

std::optional<ClipNameParts> SplitClipName(std::u16string_view fileName);
bool IsClipName(std::u16string_view extension);
bool HasHiresMark(std::u16string_view fileName);
std::u16string MakeAdlClipName(std::u16string_view fileName, std::u16string_view baseName,
                               std::u16string_view extension);
std::u16string MakeIntClipName(std::u16string_view baseName, std::u16string_view extension);
std::optional<std::u16string> ReadClipNumber(std::u16string_view baseName);
bool NeedsIntCopy(std::u16string_view clipNumber);
std::u16string MakeCleanupClipName(std::u16string_view greatestClipNumber);

// True for a name that MakeAdlFolderName or MakeIntFolderName gives: a folder a pass makes in
// the destination folder.
bool IsCollectedFolderName(std::u16string_view folderName);

}  // namespace marlowin::naming

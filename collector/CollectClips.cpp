#include "collector/CollectClips.h"

#include <string_view>
#include <utility>
#include <vector>

#include "collector/NamingRules.h"

namespace marlowin {
namespace {

constexpr std::u16string_view kVideoFolderName = u"video";
constexpr std::u16string_view kClipFolderName = u"MP4 HIGH RES";

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
  std::u16string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).push_back(sys::kPathSeparator);
  path.append(name);
  return path;
}

// The state of one handled source folder; nothing of it outlives the folder's clean-up.
struct FolderState {
  FolderTokens tokens;
  std::u16string currentIntFolder;
  std::u16string currentIntVideoFolder;
  std::u16string greatestClipNumber;
  std::u16string rememberedIntFolder;
  std::u16string rememberedIntVideoFolder;
};

class Pass {
 public:
  Pass(sys::FileSystem& fs, std::u16string destination)
      : fs_(fs), destination_(std::move(destination)) {}

  void HandleSourceFolder(const std::u16string& sourceFolder, FolderTokens tokens) {
    const std::u16string adlFolder = Join(destination_, MakeAdlFolderName(tokens));
    adlVideoFolder_ = Join(adlFolder, kVideoFolderName);
    fs_.MakeFolder(adlFolder);
    fs_.MakeFolder(adlVideoFolder_);

    FolderState state;
    state.tokens = std::move(tokens);

    const std::u16string clipFolder = Join(sourceFolder, kClipFolderName);
    std::vector<sys::FolderEntry> entries;
    if (fs_.ListFolder(clipFolder, entries)) {
      for (const sys::FolderEntry& entry : entries) {
        if (!entry.isFolder) HandleFile(clipFolder, entry.name, state);
      }
    }
    CleanUp(state);
  }

  const CollectionSummary& Summary() const { return summary_; }

 private:
  void HandleFile(const std::u16string& clipFolder, const std::u16string& fileName,
                  FolderState& state) {
    const auto parts = SplitClipName(fileName);
    if (!parts || !IsClipName(parts->extension)) return;
    ++summary_.clipsSeen;

    const std::u16string clipPath = Join(clipFolder, fileName);
    const std::u16string adlClipName = MakeAdlClipName(fileName, parts->baseName, parts->extension);
    if (!fs_.CopyReplacing(clipPath, Join(adlVideoFolder_, adlClipName))) {
      ++summary_.clipsNotCopied;
      return;
    }
    ++summary_.clipsCopied;

    const auto clipNumber = ReadClipNumber(parts->baseName);
    if (clipNumber && NeedsIntCopy(*clipNumber)) {
      state.currentIntFolder = Join(destination_, MakeIntFolderName(state.tokens, *clipNumber));
      state.currentIntVideoFolder = Join(state.currentIntFolder, kVideoFolderName);
      const std::u16string intClipName = MakeIntClipName(parts->baseName, parts->extension);
      fs_.MakeFolder(state.currentIntFolder);
      fs_.MakeFolder(state.currentIntVideoFolder);
      fs_.CopyReplacing(clipPath, Join(state.currentIntVideoFolder, intClipName));
    }

    // Code-unit comparison; every number is greater than the empty start value.
    if (clipNumber && *clipNumber > state.greatestClipNumber) {
      state.greatestClipNumber = *clipNumber;
      state.rememberedIntVideoFolder = state.currentIntVideoFolder;
      state.rememberedIntFolder = state.currentIntFolder;
    }

    // A file of the new name that exists already keeps this one under its old name.
    if (!HasHiresMark(fileName)) fs_.RenameNoReplace(clipPath, Join(clipFolder, adlClipName));
  }

  // The int copy of the greatest-numbered clip goes again, with its two folders when empty.
  void CleanUp(const FolderState& state) {
    if (state.rememberedIntVideoFolder.empty()) return;
    fs_.RemoveFile(Join(state.rememberedIntVideoFolder, MakeCleanupClipName(state.greatestClipNumber)));
    fs_.RemoveEmptyFolder(state.rememberedIntVideoFolder);
    fs_.RemoveEmptyFolder(state.rememberedIntFolder);
  }

  sys::FileSystem& fs_;
  const std::u16string destination_;
  std::u16string adlVideoFolder_;  // of the source folder being handled
  CollectionSummary summary_;
};

}  // namespace

CollectionSummary CollectClips(sys::FileSystem& fs, std::u16string startingFolder,
                               std::u16string destinationFolder) {
  Pass pass(fs, std::move(destinationFolder));
  std::vector<sys::FolderEntry> entries;
  if (!fs.ListFolder(startingFolder, entries)) return pass.Summary();
  for (const sys::FolderEntry& entry : entries) {
    if (!entry.isFolder) continue;
    FolderVerdict verdict = ClassifyFolderName(entry.name);
    if (verdict.kind == FolderVerdict::EndPass) break;
    if (verdict.kind == FolderVerdict::Handle) {
      pass.HandleSourceFolder(Join(startingFolder, entry.name), std::move(verdict.tokens));
    }
  }
  return pass.Summary();
}

std::u16string DescribeOutcome(const CollectionSummary& summary) {
  if (summary.clipsNotCopied == 0) return std::u16string(kVideoCopyComplete);
  auto number = [](std::size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
  };
  return u"video copy incomplete: " + number(summary.clipsNotCopied) + u" of " +
         number(summary.clipsSeen) + u" clips could not be copied";
}

}  // namespace marlowin

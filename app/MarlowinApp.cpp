#include "app/MarlowinApp.h"

#include <string_view>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "ui/DirDialog.h"

namespace {

constexpr std::u16string_view kMessageCaption = u"Marlowin";
constexpr std::u16string_view kSettingsStore = u"Local AppWizard-Generated Applications";
constexpr std::u16string_view kStartingFolderCaption = u"Browse to the starting folder:";
constexpr std::u16string_view kDestinationFolderCaption = u"Select copy to folder:";
constexpr std::u16string_view kStartingFolderMissing = u"starting path not accessible";
constexpr std::u16string_view kDestinationFolderMissing = u"copy to path not accessible";

void Tell(std::u16string_view text) { marlowin::sys::ShowMessage(kMessageCaption, text); }

}  // namespace

// No name of our own: the framework takes the program's.
CMarlowinApp::CMarlowinApp() : CWinApp(nullptr) {}

BOOL CMarlowinApp::InitInstance() {
  CWinApp::InitInstance();
  SetRegistryKey(kSettingsStore);

  // One dialog for both choices; the second one starts where the shell starts, not at the
  // first choice.
  CDirDialog dialog;
  // A cancelled choice is no failure: the user decided not to copy anything.
  std::u16string outcome(marlowin::kVideoCopyComplete);

  dialog.m_strCaption = kStartingFolderCaption;
  if (dialog.Browse()) {
    // The exact path is looked up: no pattern, so a name with wildcard characters is taken
    // literally, and a drive's root folder counts as found.
    marlowin::sys::FileSystem& fileSystem = marlowin::sys::RealFileSystem();
    if (!fileSystem.Exists(dialog.m_strChosenPath)) {
      Tell(kStartingFolderMissing);
      return FALSE;
    }
    const std::u16string startingFolder = dialog.m_strChosenPath;

    dialog.m_strCaption = kDestinationFolderCaption;
    if (dialog.Browse()) {
      if (!fileSystem.Exists(dialog.m_strChosenPath)) {
        Tell(kDestinationFolderMissing);
        return FALSE;
      }
      const std::u16string destinationFolder = dialog.m_strChosenPath;
      // Clips that could not be copied are reported, not hidden behind "complete".
      outcome = marlowin::DescribeOutcome(CollectClips(startingFolder, destinationFolder));
    }
  }
  Tell(outcome);
  return FALSE;
}

marlowin::CollectionSummary CMarlowinApp::CollectClips(std::u16string startingFolder,
                                                       std::u16string destinationFolder) {
  return marlowin::CollectClips(marlowin::sys::RealFileSystem(), std::move(startingFolder),
                                std::move(destinationFolder));
}

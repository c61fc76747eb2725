#include "app/MarlowinApp.h"

#include <string_view>
#include <utility>

#include "collector/CollectClips.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "framework/MessageBox.h"
#include "platform/NativeName.h"
#include "ui/DirDialog.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr std::u16string_view kMessageCaption = u"Marlowin";
constexpr std::u16string_view kSettingsStore = u"Local AppWizard-Generated Applications";
constexpr std::u16string_view kStartingFolderCaption = u"Browse to the starting folder:";
constexpr std::u16string_view kDestinationFolderCaption = u"Select copy to folder:";

void Tell(std::u16string_view text, std::u16string_view details = {}) {
  marlowin::sys::ShowMessage(kMessageCaption, text, details);
}

// A chosen folder that cannot be found: the message, then the folder and the reason.
void TellNotFound(std::u16string_view message, const std::u16string& path, std::error_code reason) {
  Tell(std::u16string(message) + u"\n\n" + path + u": " +
       marlowin::sys::FromNativeName(marlowin::sys::Describe(reason)));
}

}  // namespace

// No name of our own: the framework takes the program's.
CMarlowinApp::CMarlowinApp() : CWinApp(nullptr) {}

BOOL CMarlowinApp::InitInstance() {
  CWinApp::InitInstance();
  SetRegistryKey(kSettingsStore);

  // One dialog for both choices; the second one starts where the shell starts, not at the
  // first choice.
  CDirDialog dialog;
  dialog.m_strCaption = kStartingFolderCaption;
  if (dialog.Browse()) {
    // The exact path is looked up: no pattern, so a name with wildcard characters is taken
    // literally, and a drive's root folder counts as found.
    if (const std::error_code error = marlowin::sys::LookUp(dialog.m_strChosenPath)) {
      TellNotFound(marlowin::kStartingPathNotAccessible, dialog.m_strChosenPath, error);
      return FALSE;
    }
    const std::u16string startingFolder = dialog.m_strChosenPath;

    dialog.m_strCaption = kDestinationFolderCaption;
    if (dialog.Browse()) {
      if (const std::error_code error = marlowin::sys::LookUp(dialog.m_strChosenPath)) {
        TellNotFound(marlowin::kCopyToPathNotAccessible, dialog.m_strChosenPath, error);
        return FALSE;
      }
      const std::u16string destinationFolder = dialog.m_strChosenPath;
      // Everything the pass did, failures first; the message box shows the first of them.
      const marlowin::PassReport report = CollectClips(startingFolder, destinationFolder);
      Tell(marlowin::MessageText(report), marlowin::DetailsText(report));
      return FALSE;
    }
  }
  // A cancelled choice is no failure: the user decided not to copy anything.
  Tell(marlowin::kVideoCopyComplete);
  return FALSE;
}

marlowin::PassReport CMarlowinApp::CollectClips(std::u16string startingFolder, std::u16string destinationFolder) {
  marlowin::PassReport report;
  // A pass of more than a second shows its progress, with Cancel; the window closes before
  // the one message box.
  marlowin::ui::RunWithProgressWindow([&](marlowin::PassObserver& observer) {
    const auto fileSystem = marlowin::sys::MakeRealFileSystem();
    marlowin::PassOptions options;
    options.observer = &observer;
    report = marlowin::CollectClips(*fileSystem, std::move(startingFolder), std::move(destinationFolder), options);
  });
  return report;
}

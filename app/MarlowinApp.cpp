#include "app/MarlowinApp.h"

#include <chrono>
#include <string_view>
#include <utility>

#include "app/CheckMessage.h"
#include "collector/check/CheckTree.h"
#include "collector/pass/CollectClips.h"
#include "collector/report/FolderProblem.h"
#include "collector/report/QuotedName.h"
#include "collector/report/ReportFile.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "framework/MessageBox.h"
#include "platform/NativeName.h"
#include "platform/UserRecords.h"
#include "ui/DirDialog.h"
#include "ui/ProgressWindow.h"

namespace {

constexpr std::u16string_view kMessageCaption = u"Marlowin";
constexpr std::u16string_view kSettingsStore = u"Local AppWizard-Generated Applications";
constexpr std::u16string_view kStartingFolderCaption = u"Browse to the starting folder:";
constexpr std::u16string_view kDestinationFolderCaption = u"Select copy to folder:";
constexpr std::u16string_view kBackupFolderCaption = u"Select backup folder:";
constexpr std::u16string_view kCheckFolderCaption = u"Select the collected folder to check:";
constexpr std::u16string_view kNoFolderToCheck = u"check not made: no folder chosen";
constexpr int kNothingChecked = 2;  // as marlowin-collect --check without a folder

// By the exit status of marlowin-collect: 1 not everything was done, 2 nothing was; 130, the
// person's own stop, is no failure.
bool Failed(int status) { return status == 1 || status == 2; }

constexpr std::u16string_view kHelp =
    u"usage: marlowin [--also BACKUP_FOLDER | --backup | --check | --help | --version]\n"
    u"\n"
    u"Marlowin gathers the video clips of a shoot into the folder tree the edit works from. It\n"
    u"asks for the starting folder (the shoot) and the destination folder, copies the clips of\n"
    u"each shot folder's \"MP4 HIGH RES\" folder into adl and int folders there, proves every\n"
    u"copy by reading it back, gives each collected clip its \"_hires\" name, and tells the\n"
    u"outcome in one message.\n"
    u"\n"
    u"With --also BACKUP_FOLDER it writes the same tree to BACKUP_FOLDER as well (reading each clip\n"
    u"once), and gives a clip its \"_hires\" name only when its copies in both folders are proven;\n"
    u"with --backup it asks for that folder after the other two.\n"
    u"\n"
    u"With --check it asks for a collected folder instead, reads back every file its history\n"
    u"records, and tells in one message whether each is still the file that was proven. The\n"
    u"exit status is then 0 when every recorded file is proven, 1 when some are not, 2 when\n"
    u"nothing could be checked, 130 when the check was stopped.\n"
    u"\n"
    u"marlowin-collect is the same pass on the command line, without a window, for scripts:\n"
    u"  marlowin-collect [OPTIONS] STARTING_FOLDER DESTINATION_FOLDER  (marlowin-collect --help)\n"
    u"\n"
    u"      --also BACKUP_FOLDER\n"
    u"                 write every copy to BACKUP_FOLDER too\n"
    u"      --backup   ask for a backup folder as well\n"
    u"      --check    check a collected folder against its history\n"
    u"  -h, --help     print this text\n"
    u"      --version  print the version\n";

// Where the reports of passes are kept, for the help's last line.
std::u16string ReportsLine() {
  std::u16string folder;
  if (const std::error_code error = marlowin::platform::ReportsFolder(folder)) {
    return u"\nThe reports of passes cannot be kept: " + marlowin::platform::FromNativeName(marlowin::platform::Describe(error)) + u"\n";
  }
  return u"\nThe whole report of each pass is kept in " + marlowin::report::QuotedName(folder) + u".\n";
}

void Tell(std::u16string_view text, std::u16string_view details = {}, const marlowin::framework::MessageAttention& attention = {}) {
  marlowin::framework::ShowMessage(kMessageCaption, text, details, attention);
}

// A chosen folder that cannot be found: the message, then the folder and the reason, worded as
// the pass and the check word it.
void TellNotFound(std::u16string_view message, const std::u16string& path, std::error_code reason) {
  Tell(std::u16string(message) + u"\n\n" + marlowin::report::FolderProblemText(path, reason));
}

}  // namespace

// No name of our own: the framework takes the program's.
CMarlowinApp::CMarlowinApp() : CWinApp(nullptr) {}

std::optional<int> CMarlowinApp::AnswerCommandLine(const std::vector<std::u16string>& arguments) {
  for (const std::u16string& argument : arguments) {
    if (argument == u"--help" || argument == u"-h") {
      AfxPrintToCommandLine(kMessageCaption, std::u16string(kHelp) + ReportsLine());
      return 0;
    }
    if (argument == u"--version") {
      AfxPrintToCommandLine(kMessageCaption, u"marlowin " + marlowin::platform::FromNativeName(MARLOWIN_VERSION) + u"\n");
      return 0;
    }
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (argument == u"--check") m_bCheck = TRUE;
    if (argument == u"--backup") m_bAskBackup = TRUE;
    if (argument == u"--also" && i + 1 < arguments.size()) m_strBackupFolder = arguments[++i];
    if (argument.starts_with(u"--also=")) m_strBackupFolder = argument.substr(7);
  }
  return std::nullopt;
}

int CMarlowinApp::ExitInstance() {
  CWinApp::ExitInstance();
  return m_nExitStatus;
}

void CMarlowinApp::TellEnd(std::u16string_view text, std::u16string_view details, std::u16string headline,
                           std::u16string body, bool failed, std::chrono::steady_clock::time_point began) const {
  marlowin::framework::MessageAttention attention;
  attention.failed = failed;
  attention.call = std::chrono::steady_clock::now() - began > std::chrono::seconds(m_nAttentionAfterSeconds);
  attention.headline = std::move(headline);
  attention.body = std::move(body);
  Tell(text, details, attention);
}

BOOL CMarlowinApp::InitInstance() {
  CWinApp::InitInstance();
  SetRegistryKey(kSettingsStore);
  if (m_bCheck) {
    CheckCollectedFolder();
    return FALSE;
  }

  // One dialog for both choices; the second one starts where the shell starts, not at the
  // first choice.
  CDirDialog dialog;
  dialog.m_strCaption = kStartingFolderCaption;
  if (dialog.Browse()) {
    // The exact path is looked up: no pattern, so a name with wildcard characters is taken
    // literally, and a drive's root folder counts as found.
    if (const std::error_code error = marlowin::platform::LookUp(dialog.m_strChosenPath)) {
      TellNotFound(marlowin::report::kStartingPathNotAccessible, dialog.m_strChosenPath, error);
      return FALSE;
    }
    const std::u16string startingFolder = dialog.m_strChosenPath;

    dialog.m_strCaption = kDestinationFolderCaption;
    if (dialog.Browse()) {
      if (const std::error_code error = marlowin::platform::LookUp(dialog.m_strChosenPath)) {
        TellNotFound(marlowin::report::kCopyToPathNotAccessible, dialog.m_strChosenPath, error);
        return FALSE;
      }
      const std::u16string destinationFolder = dialog.m_strChosenPath;
      // A backup folder given on the command line, or chosen in a third dialog.
      std::u16string backupFolder = m_strBackupFolder;
      if (backupFolder.empty() && m_bAskBackup) {
        dialog.m_strCaption = kBackupFolderCaption;
        if (!dialog.Browse()) {
          Tell(marlowin::report::kVideoCopyComplete);
          return FALSE;
        }
        backupFolder = dialog.m_strChosenPath;
      }
      if (!backupFolder.empty()) {
        if (const std::error_code error = marlowin::platform::LookUp(backupFolder)) {
          TellNotFound(marlowin::report::kBackupPathNotAccessible, backupFolder, error);
          return FALSE;
        }
      }
      // Everything the pass did, failures first; the message box shows the first of them, and
      // the report file, which it names when it has no room for them all, holds every one.
      const auto began = std::chrono::steady_clock::now();
      const marlowin::report::PassReport report = CollectClips(startingFolder, destinationFolder, backupFolder);
      const marlowin::report::SavedReport saved = marlowin::report::SaveReport(report);
      TellEnd(marlowin::report::MessageText(report, saved), marlowin::report::DetailsText(report), marlowin::report::OutcomeLine(report),
              marlowin::report::SummaryLine(report), Failed(marlowin::report::ExitStatus(report)), began);
      return FALSE;
    }
  }
  // A cancelled choice is no failure: the user decided not to copy anything.
  Tell(marlowin::report::kVideoCopyComplete);
  return FALSE;
}

void CMarlowinApp::CheckCollectedFolder() {
  CDirDialog dialog;
  dialog.m_strCaption = kCheckFolderCaption;
  if (!dialog.Browse()) {
    Tell(kNoFolderToCheck);
    m_nExitStatus = kNothingChecked;
    return;
  }
  // The check looks the folder up itself, and says so when it cannot.
  const auto began = std::chrono::steady_clock::now();
  const auto started = std::chrono::system_clock::now();
  const marlowin::check::TreeCheck check = CheckFolder(dialog.m_strChosenPath);
  const marlowin::report::SavedReport saved = marlowin::report::SaveReportText(marlowin::CheckReportFileText(check, started), started);
  m_nExitStatus = marlowin::check::CheckExitStatus(check);
  TellEnd(marlowin::CheckMessageText(check, saved), marlowin::CheckDetailsText(check), marlowin::check::CheckOutcomeLine(check),
          marlowin::check::CheckSummaryLine(check), Failed(m_nExitStatus), began);
}

marlowin::check::TreeCheck CMarlowinApp::CheckFolder(const std::u16string& folder) {
  marlowin::check::TreeCheck check;
  marlowin::ui::RunWithProgressWindow([&](marlowin::report::PassObserver& observer) {
    const auto fileSystem = marlowin::platform::MakeRealFileSystem();
    const std::unique_ptr<marlowin::check::CheckObserver> shown = marlowin::check::ShownOn(observer);
    check = marlowin::check::CheckTree(*fileSystem, folder, shown.get());
  });
  return check;
}

marlowin::report::PassReport CMarlowinApp::CollectClips(std::u16string startingFolder, std::u16string destinationFolder,
                                                       std::u16string backupFolder) {
  marlowin::report::PassReport report;
  const auto started = std::chrono::system_clock::now();
  // A pass of more than a second shows its progress, with Cancel; the window closes before
  // the one message box.
  marlowin::ui::RunWithProgressWindow([&](marlowin::report::PassObserver& observer) {
    const auto fileSystem = marlowin::platform::MakeRealFileSystem();
    marlowin::pass::PassOptions options;
    options.observer = &observer;
    options.keepHistory = true;  // the lasting proof of every pass, in the destination folder
    options.backupFolder = std::move(backupFolder);
    report = marlowin::pass::CollectClips(*fileSystem, std::move(startingFolder), std::move(destinationFolder), options);
  });
  if (report.started == std::chrono::system_clock::time_point{}) report.started = started;  // names its file
  return report;
}

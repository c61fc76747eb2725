#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collector/check/CheckTree.h"
#include "collector/report/Report.h"
#include "framework/WinApp.h"

// The application. Its start-up is the program's whole run: two folder choices, one
// collection pass, one message; it never enters a message loop. Started with "--check", the
// run is the check of a collected folder instead: one folder choice, the check, one message.
class CMarlowinApp : public CWinApp {
 public:
  CMarlowinApp();

  // "--help" (or "-h") prints what the program does, "--version" "marlowin <version>"; both
  // end the process with status 0 before any window is made. "--check" makes the run the
  // check; "--also B" gives a backup folder, "--backup" asks for one. Other arguments (Qt's own options) are left to the framework.
  std::optional<int> AnswerCommandLine(const std::vector<std::u16string>& arguments) override;

  // Asks for the starting folder and the destination folder, checks that each can be found,
  // collects the clips and tells the outcome in exactly one message. Always FALSE.
  BOOL InitInstance() override;

  // The process's exit status: 0 after a pass, whatever its outcome (the message tells it);
  // after a check that of marlowin-collect --check (0 every recorded file proven, 1 some not,
  // 2 nothing checked, 130 stopped).
  int ExitInstance() override;

  // One collection pass from the starting folder into the destination folder (and the backup
  // folder, when given), shown while it runs, and what it did.
  marlowin::report::PassReport CollectClips(std::u16string startingFolder, std::u16string destinationFolder,
                                            std::u16string backupFolder = {});

  // The check of a collected folder against its history, shown while it runs.
  marlowin::check::TreeCheck CheckFolder(const std::u16string& folder);

  BOOL m_bCheck = FALSE;            // the run is the check of a collected folder
  BOOL m_bAskBackup = FALSE;        // "--backup": a third folder choice, the backup folder
  std::u16string m_strBackupFolder; // "--also B": the backup folder, not asked for
  int m_nExitStatus = 0;            // what ExitInstance returns
  // Work that took longer than this (half a minute) ends with its message drawing the eye: the
  // person has likely turned to something else meanwhile.
  int m_nAttentionAfterSeconds = 30;

 private:
  void CheckCollectedFolder();
  // Shows the one message at the end of work that began at `began`.
  void TellEnd(std::u16string_view text, std::u16string_view details, std::u16string headline, std::u16string body,
               bool failed, std::chrono::steady_clock::time_point began) const;
};

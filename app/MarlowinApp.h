#pragma once

#include <optional>
#include <string>
#include <vector>

#include "collector/Report.h"
#include "framework/WinApp.h"

// The application. Its start-up is the program's whole run: two folder choices, one
// collection pass, one message; it never enters a message loop.
class CMarlowinApp : public CWinApp {
 public:
  CMarlowinApp();

  // "--help" (or "-h") prints what the program does, "--version" "marlowin <version>"; both
  // end the process with status 0 before any window is made. Other arguments (Qt's own
  // options) are left to the framework.
  std::optional<int> AnswerCommandLine(const std::vector<std::u16string>& arguments) override;

  // Asks for the starting folder and the destination folder, checks that each can be found,
  // collects the clips and tells the outcome in exactly one message. Always FALSE.
  BOOL InitInstance() override;

  // One collection pass from the starting folder into the destination folder, shown while it
  // runs, and what it did.
  marlowin::PassReport CollectClips(std::u16string startingFolder, std::u16string destinationFolder);
};

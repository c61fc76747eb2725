#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Bool.h"

// The application framework the program is written on: one application object per process,
// whose InitInstance is the program's start-up, run by the entry routine AfxWinMain.
class CWinApp {
 public:
  // A null name lets the framework take the program's file name (without extension).
  explicit CWinApp(const char16_t* pszAppName = nullptr);
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // Before any window system is set up, the entry routine hands the program's arguments
  // (without the program's own name) here. A status ends the process with it at once, without
  // InitInstance (the program answered on its own, as for --help); none goes on to the run.
  // The base version takes no argument.
  virtual std::optional<int> AnswerCommandLine(const std::vector<std::u16string>& arguments);

  // Start-up. TRUE enters the message loop (Run); FALSE ends the process at once, with
  // ExitInstance's result as its exit status.
  virtual BOOL InitInstance();

  // The message loop; when it ends, ExitInstance's result is the exit status.
  virtual int Run();

  // Clean-up at the end; the result is the process's exit status: the code the message loop
  // was ended with, or 0 when there was none.
  virtual int ExitInstance();

  // Names the settings store (the user's registry key Software\<key>\<application name>).
  // Nothing is read or written here; the store would only come into being when a setting
  // is written.
  void SetRegistryKey(std::u16string_view key);

  std::u16string m_strAppName;      // the application's name
  std::u16string m_strRegistryKey;  // empty until SetRegistryKey
  std::u16string m_strProfileName;  // the store's name below the key: the application's name

 private:
  int m_nExitCode = 0;  // the code the message loop was ended with
};

// The one application object, or null before it is constructed and after it is destroyed.
CWinApp* AfxGetApp();

// Ends the message loop of the running application with the given exit code.
void AfxPostQuitMessage(int nExitCode);

// Prints text for a person who started the program from a command line, such as its help: on
// stdout on Linux. A Windows GUI program writes it to stdout when that is redirected, else to
// the console of the process that started it, and shows it in a message box with the caption
// when it has neither (started from the Start menu, Run or a shortcut).
void AfxPrintToCommandLine(std::u16string_view caption, std::u16string_view text);

// The framework's entry routine: runs the application object's InitInstance once; after
// FALSE it calls ExitInstance and returns its result without entering the message loop,
// after TRUE it returns Run's result. The program's entry point calls it and returns its
// result. It first offers the arguments to AnswerCommandLine. On Linux it then creates the Qt
// application object; when no display can be opened it says so on stderr, before any message
// of Qt's, and returns a non-zero status.
int AfxWinMain(int argc, char** argv);

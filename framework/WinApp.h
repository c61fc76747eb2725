#pragma once

#include <string>
#include <string_view>

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

// The framework's entry routine: runs the application object's InitInstance once; after
// FALSE it calls ExitInstance and returns its result without entering the message loop,
// after TRUE it returns Run's result. The program's entry point calls it and returns its
// result. On Linux it first creates the Qt application object; when no display can be
// opened it says so on stderr and returns a non-zero status.
int AfxWinMain(int argc, char** argv);

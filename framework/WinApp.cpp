#include "framework/WinApp.h"

#include "framework/ApplicationStart.h"
#include "platform/Paths.h"

namespace {

// Set by the first application object; a second one is not the application.
CWinApp* theApplication = nullptr;

}  // namespace

CWinApp::CWinApp(const char16_t* pszAppName) {
  if (pszAppName) m_strAppName = pszAppName;
  if (!theApplication) theApplication = this;
}

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

std::optional<int> CWinApp::AnswerCommandLine(const std::vector<std::u16string>&) { return std::nullopt; }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return m_nExitCode; }

void CWinApp::SetRegistryKey(std::u16string_view key) {
  m_strRegistryKey = key;
  m_strProfileName = m_strAppName;
}

CWinApp* AfxGetApp() { return theApplication; }

namespace marlowin::framework {

std::optional<int> AnswerCommandLine(const std::vector<std::u16string>& arguments) {
  CWinApp* app = AfxGetApp();
  return app ? app->AnswerCommandLine(arguments) : std::nullopt;
}

int StartApplication(const std::u16string& programName) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;  // a program without its application object has nothing to run
  if (app->m_strAppName.empty()) app->m_strAppName = programName;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

std::u16string ProgramName(std::u16string path) {
  path = std::u16string(platform::FileNameOf(path));
  const std::size_t dot = path.rfind(u'.');
  if (dot != std::u16string::npos && dot != 0) path.erase(dot);
  return path;
}

}  // namespace marlowin::framework

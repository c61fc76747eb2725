#include "platform/WinApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ApplicationStart.h"

namespace {

// An application that records what the framework calls on it.
class RecordingApp : public CWinApp {
 public:
  explicit RecordingApp(BOOL startResult, const char16_t* name = nullptr)
      : CWinApp(name), startResult_(startResult) {}

  BOOL InitInstance() override {
    calls.push_back("InitInstance");
    if (startResult_ && quitCode >= 0) AfxPostQuitMessage(quitCode);
    return startResult_;
  }
  int Run() override {
    calls.push_back("Run");
    return CWinApp::Run();
  }
  int ExitInstance() override {
    calls.push_back("ExitInstance");
    return exitResult ? *exitResult : CWinApp::ExitInstance();
  }

  std::vector<std::string> calls;
  int quitCode = 0;
  const int* exitResult = nullptr;

 private:
  BOOL startResult_;
};

char programPath[] = "/opt/tools/marlowin_framework_tests";
char* programArgv[] = {programPath, nullptr};

int RunFramework() { return AfxWinMain(1, programArgv); }

}  // namespace

TEST(EntryRoutine, AfterFalseFromInitInstanceItEndsWithoutAMessageLoop) {
  RecordingApp app(FALSE);
  EXPECT_EQ(RunFramework(), 0);
  EXPECT_EQ(app.calls, (std::vector<std::string>{"InitInstance", "ExitInstance"}));
}

TEST(EntryRoutine, ExitInstancesResultIsTheExitStatus) {
  const int seven = 7;
  RecordingApp app(FALSE);
  app.exitResult = &seven;
  EXPECT_EQ(RunFramework(), 7);
}

TEST(EntryRoutine, AfterTrueTheMessageLoopRunsUntilItIsEnded) {
  RecordingApp app(TRUE);
  app.quitCode = 5;
  EXPECT_EQ(RunFramework(), 5);
  EXPECT_EQ(app.calls, (std::vector<std::string>{"InitInstance", "Run", "ExitInstance"}));
}

TEST(EntryRoutine, RunsOnlyTheFirstApplicationObject) {
  RecordingApp first(FALSE);
  RecordingApp second(FALSE);
  EXPECT_EQ(AfxGetApp(), &first);
  RunFramework();
  EXPECT_EQ(first.calls.size(), 2u);
  EXPECT_TRUE(second.calls.empty());
}

TEST(EntryRoutine, FailsWithoutAnApplicationObject) {
  ASSERT_EQ(AfxGetApp(), nullptr);
  EXPECT_NE(RunFramework(), 0);
}

TEST(ApplicationName, ANullNameBecomesTheProgramsName) {
  RecordingApp unnamed(FALSE);
  RunFramework();
  EXPECT_EQ(unnamed.m_strAppName, u"marlowin_framework_tests");
}

TEST(ApplicationName, AGivenNameStays) {
  RecordingApp named(FALSE, u"Clips");
  RunFramework();
  EXPECT_EQ(named.m_strAppName, u"Clips");
}

TEST(ApplicationName, IsTheFileNameWithoutFolderAndExtension) {
  using marlowin::sys::ProgramName;
  EXPECT_EQ(ProgramName(u"C:\\Program Files\\Marlowin\\marlowin.exe"), u"marlowin");
  EXPECT_EQ(ProgramName(u"/usr/local/bin/marlowin"), u"marlowin");
  EXPECT_EQ(ProgramName(u"./my.tool.exe"), u"my.tool");
  EXPECT_EQ(ProgramName(u".hidden"), u".hidden");
}

TEST(SettingsStore, SetRegistryKeyNamesTheStoreAfterKeyAndApplication) {
  RecordingApp app(FALSE, u"marlowin");
  EXPECT_TRUE(app.m_strRegistryKey.empty());
  app.SetRegistryKey(u"Local AppWizard-Generated Applications");
  EXPECT_EQ(app.m_strRegistryKey, u"Local AppWizard-Generated Applications");
  EXPECT_EQ(app.m_strProfileName, u"marlowin");
}

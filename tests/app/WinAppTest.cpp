#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingApp : public CWinApp {
 public:
  explicit RecordingApp(BOOL start) : CWinApp(u"test"), start_(start) {}
  BOOL InitInstance() override {
    calls.push_back("InitInstance");
    if (start_) AfxPostQuitMessage(5);
    return start_;
  }
  int Run() override {
    calls.push_back("Run");
    return CWinApp::Run();
  }
  int ExitInstance() override {
    calls.push_back("ExitInstance");
    return start_ ? CWinApp::ExitInstance() : 7;
  }
  std::vector<std::string> calls;

 private:
  BOOL start_;
};

int RunFramework() {
  char program[] = "marlowin_framework_tests";
  char* argv[] = {program, nullptr};
  return AfxWinMain(1, argv);
}

}  // namespace

TEST(EntryRoutine, AfterFalseFromInitInstanceNoMessageLoopAndExitInstancesResultIsTheStatus) {
  RecordingApp app(FALSE);
  EXPECT_EQ(RunFramework(), 7);
  EXPECT_EQ(app.calls, (std::vector<std::string>{"InitInstance", "ExitInstance"}));
}

TEST(EntryRoutine, AfterTrueTheMessageLoopRunsUntilItIsEnded) {
  RecordingApp app(TRUE);
  EXPECT_EQ(RunFramework(), 5);
  EXPECT_EQ(app.calls, (std::vector<std::string>{"InitInstance", "Run", "ExitInstance"}));
}

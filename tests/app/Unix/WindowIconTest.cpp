// The program's windows carry its own icon: the framework takes it from the program's resources.
#include <QApplication>
#include <QIcon>
#include <QSize>

#include <gtest/gtest.h>

#include "framework/WinApp.h"

namespace {

class NoWindowApp : public CWinApp {
 public:
  NoWindowApp() : CWinApp(u"test") {}
  BOOL InitInstance() override { return FALSE; }
};

}  // namespace

TEST(WindowIcon, TheFrameworkGivesEveryWindowTheProgramsIconInEverySizeItBrings) {
  QApplication::setWindowIcon(QIcon());
  NoWindowApp app;
  char program[] = "marlowin_framework_tests";
  char* argv[] = {program, nullptr};
  AfxWinMain(1, argv);

  const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
  for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(side, side))) << side << " pixels";
  }
}

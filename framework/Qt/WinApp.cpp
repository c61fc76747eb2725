// The framework on Linux: Qt's application object and event loop.
#include "framework/WinApp.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMetaObject>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "framework/ApplicationStart.h"
#include "platform/NativeName.h"

namespace {

QtMessageHandler previousHandler = nullptr;
std::string programName;

// Qt ends a program that cannot open its display with a fatal message and abort(). A person
// who started us without a display gets one plain line and a failure status instead.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    if (previousHandler) previousHandler(type, context, message);
    return;
  }
  std::fprintf(stderr, "%s: no display can be opened (set DISPLAY or WAYLAND_DISPLAY)\n",
               programName.c_str());
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}

// The program's icon in every size it brings as the resources :/icon/*.png, which Windows
// programs carry as their ICON resource; none for a program that brings none.
QIcon ProgramIcon() {
  QIcon icon;
  for (const QString& file : QDir(QStringLiteral(":/icon")).entryList(QDir::Files)) {
    icon.addFile(QStringLiteral(":/icon/") + file);
  }
  return icon;
}

}  // namespace

int AfxWinMain(int argc, char** argv) {
  static char fallbackName[] = "marlowin";
  static char* fallbackArgv[] = {fallbackName, nullptr};
  if (argc < 1 || !argv) {
    argc = 1;
    argv = fallbackArgv;
  }
  const std::u16string name = marlowin::sys::ProgramName(marlowin::sys::FromNativeName(argv[0]));
  programName = marlowin::sys::ToDisplay(name);

  // Qt keeps a reference to the count for the application object's lifetime.
  int qtArgc = argc;
  std::unique_ptr<QApplication> qtApp;
  if (!QCoreApplication::instance()) {
    previousHandler = qInstallMessageHandler(NoDisplayHandler);
    qtApp = std::make_unique<QApplication>(qtArgc, argv);
    qInstallMessageHandler(previousHandler);
    QGuiApplication::setDesktopFileName(QString::fromStdString(programName));
  }
  // Every window of the program, the message box and the dialogs too, shows the icon in its title.
  if (const QIcon icon = ProgramIcon(); !icon.isNull()) QApplication::setWindowIcon(icon);
  return marlowin::sys::StartApplication(name);
}

int CWinApp::Run() {
  m_nExitCode = QCoreApplication::exec();
  return ExitInstance();
}

void AfxPostQuitMessage(int nExitCode) {
  // Like a quit message, it takes effect when the event loop gets to it.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [nExitCode] { QCoreApplication::exit(nExitCode); },
      Qt::QueuedConnection);
}

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
#include <string>
#include <vector>

#include "framework/ApplicationStart.h"
#include "platform/NativeName.h"

namespace {

QtMessageHandler previousHandler = nullptr;
std::string programName;

// What Qt says while its application object is made, held back: when no display opens, its
// warnings ("qt.qpa.xcb: could not connect to display") come after our own line, as the detail.
struct HeldMessage {
  QtMsgType type;
  std::string file, function, category;
  int line;
  QString text;
};
std::vector<HeldMessage> heldMessages;

// Qt ends a program that cannot open its display with a fatal message and abort(). A person
// who started us without a display gets one plain line first and a failure status instead.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    heldMessages.push_back({type, context.file ? context.file : "", context.function ? context.function : "",
                            context.category ? context.category : "", context.line, message});
    return;
  }
  std::fprintf(stderr, "%s: no display can be opened (set DISPLAY or WAYLAND_DISPLAY)\n",
               programName.c_str());
  for (const HeldMessage& held : heldMessages) {
    const bool named = !held.category.empty() && held.category != "default";
    std::fprintf(stderr, "%s%s%s\n", named ? held.category.c_str() : "", named ? ": " : "",
                 held.text.toLocal8Bit().constData());
  }
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

// The held messages, to the handler that was there before, as if they had just been said.
void ReplayHeldMessages() {
  for (const HeldMessage& held : heldMessages) {
    const QMessageLogContext context(held.file.c_str(), held.line, held.function.c_str(), held.category.c_str());
    qt_message_output(held.type, context, held.text);
  }
  heldMessages.clear();
}

}  // namespace

int AfxWinMain(int argc, char** argv) {
  static char fallbackName[] = "marlowin";
  static char* fallbackArgv[] = {fallbackName, nullptr};
  if (argc < 1 || !argv) {
    argc = 1;
    argv = fallbackArgv;
  }
  const std::u16string name = marlowin::framework::ProgramName(marlowin::platform::FromNativeName(argv[0]));
  programName = marlowin::platform::ToDisplay(name);

  // --help and the like are answered before Qt is asked for a display.
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(marlowin::platform::FromNativeName(argv[i] ? argv[i] : ""));
  if (const std::optional<int> status = marlowin::framework::AnswerCommandLine(arguments)) return *status;

  // Qt keeps a reference to the count for the application object's lifetime.
  int qtArgc = argc;
  std::unique_ptr<QApplication> qtApp;
  if (!QCoreApplication::instance()) {
    previousHandler = qInstallMessageHandler(NoDisplayHandler);
    qtApp = std::make_unique<QApplication>(qtArgc, argv);
    qInstallMessageHandler(previousHandler);
    ReplayHeldMessages();
    QGuiApplication::setDesktopFileName(QString::fromStdString(programName));
  }
  // Every window of the program, the message box and the dialogs too, shows the icon in its title.
  if (const QIcon icon = ProgramIcon(); !icon.isNull()) QApplication::setWindowIcon(icon);
  return marlowin::framework::StartApplication(name);
}

void AfxPrintToCommandLine(std::u16string_view, std::u16string_view text) {
  const std::string bytes = marlowin::platform::ToDisplay(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
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

// The folder browser on Linux: the shell's operations carried out with a Qt dialog.
#include "ui/DirShell.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <string_view>

#include "ui/Qt/FolderBrowser.h"
#include "ui/Qt/FolderItem.h"

namespace marlowin::ui {
namespace {

using qt::AsItem;
using qt::AsList;
using qt::FolderBrowser;
using qt::FolderItem;

constexpr DirResult kFileNotFound = static_cast<DirResult>(0x80070002u);  // as the shell says it

// Qt keeps no reference counts for these two; a token stands for each.
int allocatorToken = 0;
int desktopToken = 0;

QString QtText(const char16_t* text) { return text ? QString::fromUtf16(text) : QString(); }

// Writes a terminated copy into a buffer of kDirPathCapacity characters; FALSE when it does
// not fit, leaving an empty string.
BOOL CopyToBuffer(std::u16string_view text, char16_t* buffer) {
  if (text.size() >= static_cast<std::size_t>(kDirPathCapacity)) {
    buffer[0] = u'\0';
    return FALSE;
  }
  text.copy(buffer, text.size());
  buffer[text.size()] = u'\0';
  return TRUE;
}

class QtDirShell final : public DirShell {
 public:
  DirResult GetAllocator(DirAllocator*& allocator) override {
    allocator = reinterpret_cast<DirAllocator*>(&allocatorToken);
    return 0;
  }

  DirResult GetDesktop(DirFolder*& desktop) override {
    desktop = reinterpret_cast<DirFolder*>(&desktopToken);
    return 0;
  }

  // Takes an absolute path of an existing folder, as the desktop takes a full path.
  DirResult ParseName(DirFolder*, char16_t* path, DirItemList*& item) override {
    const QString folder = qt::ToQtPath(path);
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir()) return kFileNotFound;
    auto* parsed = new FolderItem;
    parsed->hasPath = true;
    parsed->path = qt::FromQtPath(QDir::cleanPath(folder));
    item = AsList(parsed);
    return 0;
  }

  DirItemList* BrowseForFolder(DirBrowseInfo& info) override {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;  // no widgets
    const FolderItem* root = AsItem(info.root);
    FolderBrowser browser(root && root->hasPath ? qt::ToQtPath(root->path) : QString(),
                          QtText(info.title), (info.flags & kBifStatusText) != 0, info.callback,
                          info.userData);
    const std::optional<QString> chosen = browser.Run();
    if (!chosen) return nullptr;

    auto* item = new FolderItem;
    item->hasPath = !chosen->isEmpty();
    if (item->hasPath) item->path = qt::FromQtPath(*chosen);
    if (info.displayName) {
      // The shell's display name is the folder's own name; the top folder's is its path.
      const QString fileName = QFileInfo(*chosen).fileName();
      const std::u16string name = qt::FromQtPath(fileName.isEmpty() ? *chosen : fileName);
      CopyToBuffer(std::u16string_view(name).substr(0, kDirPathCapacity - 1), info.displayName);
    }
    info.image = 0;  // no system image list here
    return AsList(item);
  }

  BOOL PathFromItem(const DirItemList* item, char16_t* path) override {
    const FolderItem* folder = AsItem(item);
    if (!folder || !folder->hasPath) {
      path[0] = u'\0';
      return FALSE;
    }
    return CopyToBuffer(folder->path, path);
  }

  void FreeItem(DirAllocator*, DirItemList* item) override {
    delete const_cast<FolderItem*>(AsItem(item));
  }

  void ReleaseAllocator(DirAllocator*) override {}
  void ReleaseDesktop(DirFolder*) override {}

  std::intptr_t Send(DirWindow* window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override {
    FolderBrowser* browser = FolderBrowser::FromWindow(window);
    if (!browser) return 0;
    switch (message) {
      case kBffmSetSelection:
        // Only paths are taken here; an item list (wParam FALSE) has no meaning to Qt.
        if (wParam && lParam) {
          browser->SelectPath(qt::ToQtPath(reinterpret_cast<const char16_t*>(lParam)));
        }
        break;
      case kBffmSetStatusText:
        browser->SetStatusText(QtText(reinterpret_cast<const char16_t*>(lParam)));
        break;
      case kBffmEnableOk:
        browser->EnableOk(lParam != 0);
        break;
      default:
        break;
    }
    return 0;
  }

  BOOL SetCaption(DirWindow* window, const char16_t* text) override {
    FolderBrowser* browser = FolderBrowser::FromWindow(window);
    if (!browser) return FALSE;
    browser->setWindowTitle(QtText(text));
    return TRUE;
  }

  BOOL ReadClientRect(DirWindow* window, DirRect& rect) override {
    FolderBrowser* browser = FolderBrowser::FromWindow(window);
    if (!browser) return FALSE;
    rect = DirRect{0, 0, browser->width(), browser->height()};
    return TRUE;
  }

  int ScreenMetric(int index) override {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 0;
    if (index == kSmCxScreen) return screen->geometry().width();
    if (index == kSmCyScreen) return screen->geometry().height();
    return 0;
  }

  // The position is that of the frame, as with SetWindowPos; the size is the window's, so
  // whatever frame the window manager already draws is taken off the client area.
  BOOL Place(DirWindow* window, std::intptr_t insertAfter, int x, int y, int width, int height,
             std::uint32_t flags) override {
    FolderBrowser* browser = FolderBrowser::FromWindow(window);
    if (!browser) return FALSE;
    if (insertAfter == kHwndTopmost) browser->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const QSize frame = browser->frameGeometry().size() - browser->geometry().size();
    browser->move(x, y);
    browser->resize(std::max(width - frame.width(), 0), std::max(height - frame.height(), 0));
    if (flags & kSwpShowWindow) browser->show();
    return TRUE;
  }
};

}  // namespace

DirShell& PlatformDirShell() {
  static QtDirShell shell;
  return shell;
}

}  // namespace marlowin::ui

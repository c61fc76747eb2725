// The Qt folder browser with its real widgets, driven from inside its event loop.
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempTree.h"
#include "tests/ui/Qt/BrowserDriver.h"
#include "ui/DirDialog.h"

namespace {

using marlowin::testing::BrowserDriver;
using marlowin::testing::TempTree;

QString Q(const std::u16string& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }
std::u16string U(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// Waits, inside the dialog, for the tree to have listed a folder's subfolders.
int RowsOnceListed(BrowserDriver& driver, const QModelIndex& index, int expected) {
  driver.Tree().expand(index);
  QElapsedTimer clock;
  clock.start();
  while (driver.Tree().model()->rowCount(index) < expected && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return driver.Tree().model()->rowCount(index);
}

// Disables OK on any folder named "locked" and says which folder is selected.
class LockingDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    const std::u16string path(selectedPath);
    seen.push_back(path);
    statusText = u"Folder: " + path;
    return path.ends_with(u"/locked") ? FALSE : TRUE;
  }
  std::vector<std::u16string> seen;
};

class QtFolderBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    files.MakeFolder(u"shoots/day1 \u00e9t\u00e9");
    files.MakeFolder(u"shoots/day2/locked");
    files.WriteFile(u"shoots/notes.txt", "not a folder");
  }
  TempTree files;
};

TEST_F(QtFolderBrowser, PreselectedFolderIsSelectedAndConfirmingReturnsItsFullPath) {
  const std::u16string wanted = files.Path(u"shoots/day1 \u00e9t\u00e9");
  CDirDialog dialog;
  dialog.m_strStartSelection = wanted + u"/";
  dialog.m_strCaption = u"Browse to the starting folder:";

  QString title, prompt, selected;
  bool hasOk = false, hasCancel = false, hasStatus = true, modal = false, ownerless = false;
  BrowserDriver driver([&](BrowserDriver& d) {
    title = d.Dialog().windowTitle();
    prompt = d.Prompt() ? d.Prompt()->text() : QString();
    selected = d.CurrentPath();
    hasOk = d.Ok() && d.Ok()->isVisible() && d.Ok()->isEnabled();
    hasCancel = d.Cancel() && d.Cancel()->isVisible();
    hasStatus = d.Status() != nullptr;
    modal = d.Dialog().isModal();
    ownerless = d.Dialog().parentWidget() == nullptr;
    d.Ok()->click();
  });
  ASSERT_EQ(dialog.Browse(), TRUE);
  ASSERT_TRUE(driver.ran());
  EXPECT_EQ(dialog.m_strChosenPath, wanted);
  EXPECT_EQ(U(selected), wanted);
  EXPECT_EQ(title, QStringLiteral("Browse to the starting folder:"));
  EXPECT_EQ(prompt, QStringLiteral("Open"));
  EXPECT_TRUE(hasOk);
  EXPECT_TRUE(hasCancel);
  EXPECT_FALSE(hasStatus);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(ownerless);
}

TEST_F(QtFolderBrowser, SelectionChangesReachTheHookAndOkAndStatusFollowIt) {
  LockingDialog dialog;
  dialog.m_bShowStatus = TRUE;
  dialog.m_strPrompt = u"Pick a shoot";
  dialog.m_strStartSelection = files.Path(u"shoots");
  const QString locked = Q(files.Path(u"shoots/day2/locked"));
  const QString open = Q(files.Path(u"shoots/day2"));

  bool okOnStart = false, okOnLocked = true, okOnOpen = false;
  QString statusOnLocked, statusOnOpen, prompt;
  BrowserDriver driver([&](BrowserDriver& d) {
    prompt = d.Prompt()->text();
    okOnStart = d.Ok()->isEnabled();
    ASSERT_TRUE(d.Pick(locked));
    okOnLocked = d.Ok()->isEnabled();
    statusOnLocked = d.Status()->text();
    ASSERT_TRUE(d.Pick(open));
    okOnOpen = d.Ok()->isEnabled();
    statusOnOpen = d.Status()->text();
    d.Cancel()->click();
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  ASSERT_TRUE(driver.ran());
  EXPECT_EQ(prompt, QStringLiteral("Pick a shoot"));
  EXPECT_TRUE(okOnStart);
  EXPECT_FALSE(okOnLocked);
  EXPECT_EQ(statusOnLocked, QStringLiteral("Folder: ") + locked);
  EXPECT_TRUE(okOnOpen);
  EXPECT_EQ(statusOnOpen, QStringLiteral("Folder: ") + open);
  ASSERT_EQ(dialog.seen.size(), 3u);  // the preselection, then the two picks
  EXPECT_EQ(dialog.seen[0], files.Path(u"shoots"));
  EXPECT_EQ(Q(dialog.seen[1]), locked);
  EXPECT_EQ(Q(dialog.seen[2]), open);
}

TEST_F(QtFolderBrowser, CancelReturnsFalseAndTheTreeHoldsFoldersOnly) {
  CDirDialog dialog;
  dialog.m_strRootFolder = files.Path(u"shoots");
  std::vector<QString> names;
  int topRows = 0;
  QString top;
  BrowserDriver driver([&](BrowserDriver& d) {
    const QModelIndex root = d.Tree().rootIndex();
    topRows = d.Tree().model()->rowCount(root);
    const QModelIndex shoots = d.Tree().model()->index(0, 0, root);
    top = d.PathOf(shoots);
    const int rows = RowsOnceListed(d, shoots, 2);
    // Give a file the chance to show up late, too.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int row = 0; row < std::max(rows, d.Tree().model()->rowCount(shoots)); ++row) {
      names.push_back(d.Tree().model()->index(row, 0, shoots).data().toString());
    }
    d.Cancel()->click();
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  ASSERT_TRUE(driver.ran());
  EXPECT_EQ(topRows, 1);
  EXPECT_EQ(U(top), files.Path(u"shoots"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<QString>{QStringLiteral("day1 \u00e9t\u00e9"), QStringLiteral("day2")}));
}

TEST_F(QtFolderBrowser, RootFolderIsTheTopOfTheTreeAndOpensSelected) {
  CDirDialog dialog;
  dialog.m_strRootFolder = files.Path(u"shoots/day2");
  dialog.m_strStartSelection = files.Path(u"shoots/day1 \u00e9t\u00e9");  // outside the root
  QString selected;
  bool pickedOutside = true;
  BrowserDriver driver([&](BrowserDriver& d) {
    selected = d.CurrentPath();
    pickedOutside = d.Pick(Q(files.Path(u"shoots")));
    d.Ok()->click();
  });
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(U(selected), files.Path(u"shoots/day2"));
  EXPECT_FALSE(pickedOutside);
  EXPECT_EQ(dialog.m_strChosenPath, files.Path(u"shoots/day2"));
}

TEST_F(QtFolderBrowser, RootFolderThatIsNotThereShowsNoDialog) {
  CDirDialog dialog;
  dialog.m_strRootFolder = files.Path(u"no such folder");
  BrowserDriver driver([](BrowserDriver& d) { d.Ok()->click(); }, 2000);
  EXPECT_EQ(dialog.Browse(), FALSE);
  EXPECT_FALSE(driver.ran());
}

TEST_F(QtFolderBrowser, DefaultsKeepTheBrowserCaptionAndRootAtTheFileSystemTop) {
  CDirDialog dialog;
  QString title, selected;
  int topRows = 0;
  bool okEnabled = false;
  BrowserDriver driver([&](BrowserDriver& d) {
    title = d.Dialog().windowTitle();
    topRows = d.Tree().model()->rowCount(d.Tree().rootIndex());
    selected = d.CurrentPath();
    okEnabled = d.Ok()->isEnabled();
    d.Ok()->click();
  });
  ASSERT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(title, QStringLiteral("Browse For Folder"));
  EXPECT_EQ(topRows, 1);
  EXPECT_EQ(selected, QDir::rootPath());
  EXPECT_TRUE(okEnabled);
  EXPECT_EQ(dialog.m_strChosenPath, u"/");
}

TEST_F(QtFolderBrowser, WindowIsPlacedByTheArithmeticKeptOnTopAndShown) {
  CDirDialog dialog;
  QPoint position;
  QSize size;
  bool onTop = false, visible = false;
  BrowserDriver driver([&](BrowserDriver& d) {
    position = d.Dialog().pos();
    size = d.Dialog().size();  // the frame is not known before the window is first shown
    onTop = d.Dialog().windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    visible = d.Dialog().isVisible();
    d.Cancel()->click();
  });
  EXPECT_EQ(dialog.Browse(), FALSE);
  ASSERT_TRUE(driver.ran());
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  // The window is 25 by 60 larger than the client area whose centred corner it takes.
  const int clientWidth = size.width() - 25;
  const int clientHeight = size.height() - 60;
  EXPECT_EQ(position.x(), (screen.width() - clientWidth) / 2);
  EXPECT_EQ(position.y(), (screen.height() - clientHeight) / 2);
  EXPECT_TRUE(onTop);
  EXPECT_TRUE(visible);
}

}  // namespace

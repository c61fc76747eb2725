// The Qt folder browser with its real widgets, driven from inside its event loop.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"
#include "ui/DirDialog.h"

namespace {

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

// Browse, with `step` run against the browser once it is up. A browser still open after 30 s
// is cancelled, so that a test fails instead of hanging.
BOOL Browse(CDirDialog& dialog, const std::function<void(QDialog&)>& step) {
  bool ran = false;
  QElapsedTimer clock;
  clock.start();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* browser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!browser || !browser->isVisible()) return;
    if (!ran) {
      ran = true;
      step(*browser);
    } else if (clock.elapsed() > 30000) {
      browser->reject();
    }
  });
  timer.start(10);
  const BOOL result = dialog.Browse();
  EXPECT_TRUE(ran) << "the browser never came up";
  return result;
}

QTreeView& Tree(QDialog& d) { return *d.findChild<QTreeView*>(QStringLiteral("folderTree")); }
QSortFilterProxyModel& Proxy(QDialog& d) { return *qobject_cast<QSortFilterProxyModel*>(Tree(d).model()); }
QFileSystemModel& Files(QDialog& d) { return *qobject_cast<QFileSystemModel*>(Proxy(d).sourceModel()); }
QString PathOf(QDialog& d, const QModelIndex& index) { return Files(d).filePath(Proxy(d).mapToSource(index)); }
QString TopPath(QDialog& d) { return PathOf(d, Proxy(d).index(0, 0, Tree(d).rootIndex())); }
QLabel* Label(QDialog& d, const char* name) { return d.findChild<QLabel*>(QString::fromLatin1(name)); }
QAbstractButton* Button(QDialog& d, QDialogButtonBox::StandardButton which) {
  return d.findChild<QDialogButtonBox*>(QStringLiteral("buttons"))->button(which);
}
bool Pick(QDialog& d, const QString& path) {  // as a user clicks a folder
  const QModelIndex index = Proxy(d).mapFromSource(Files(d).index(path));
  if (index.isValid()) Tree(d).setCurrentIndex(index);
  return index.isValid();
}

// Disables OK on any folder named "locked" and says which folder is selected.
class LockingDialog : public CDirDialog {
 public:
  BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText) override {
    seen.emplace_back(selectedPath);
    statusText = u"Folder: " + seen.back();
    return seen.back().ends_with(u"/locked") ? FALSE : TRUE;
  }
  std::vector<std::u16string> seen;
};

class QtFolderBrowser : public ::testing::Test {
 protected:
  QtFolderBrowser() {
    files.MakeFolder(u"shoots/day1 \u00e9t\u00e9");
    files.MakeFolder(u"shoots/day2/locked");
    files.WriteFile(u"shoots/notes.txt", "not a folder");
  }
  marlowin::testing::TempTree files;
};

TEST_F(QtFolderBrowser, PreselectedFolderUnderARootIsSelectedAndConfirmingReturnsItsFullPath) {
  const std::u16string wanted = files.Path(u"shoots/day1 \u00e9t\u00e9");
  CDirDialog dialog;
  dialog.m_strRootFolder = files.Path(u"shoots");
  dialog.m_strStartSelection = wanted + u"/";
  dialog.m_strCaption = u"Browse to the starting folder:";
  const BOOL result = Browse(dialog, [&](QDialog& d) {
    EXPECT_EQ(PathOf(d, Tree(d).currentIndex()), Q(wanted));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Browse to the starting folder:"));
    EXPECT_EQ(Label(d, "prompt")->text(), QStringLiteral("Open"));
    EXPECT_EQ(Label(d, "status"), nullptr);
    EXPECT_TRUE(Button(d, QDialogButtonBox::Ok)->isVisible());
    EXPECT_TRUE(Button(d, QDialogButtonBox::Cancel)->isVisible());
    EXPECT_TRUE(d.isModal() && !d.parentWidget());
    // The corner of a centred client area 25 by 60 smaller than the window; on top.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(d.pos(), QPoint((screen.width() - d.width() + 25) / 2, (screen.height() - d.height() + 60) / 2));
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The root is the one top item; below it folders only.
    EXPECT_EQ(Proxy(d).rowCount(Tree(d).rootIndex()), 1);
    EXPECT_EQ(TopPath(d), Q(files.Path(u"shoots")));
    const QPersistentModelIndex shoots = Proxy(d).index(0, 0, Tree(d).rootIndex());
    QElapsedTimer clock;  // the preselection opened shoots; let its listing finish
    clock.start();
    while ((Proxy(d).rowCount(shoots) < 2 && clock.elapsed() < 5000) || clock.elapsed() < 300)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QStringList listed;
    for (int row = 0; row < Proxy(d).rowCount(shoots); ++row)
      listed << Proxy(d).index(row, 0, shoots).data().toString();
    listed.sort();
    EXPECT_EQ(listed, (QStringList{QStringLiteral("day1 \u00e9t\u00e9"), QStringLiteral("day2")}));
    Button(d, QDialogButtonBox::Ok)->click();
  });
  ASSERT_EQ(result, TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, wanted);
}

TEST_F(QtFolderBrowser, SelectionChangesReachTheHookOkAndStatusFollowItAndCancelReturnsFalse) {
  LockingDialog dialog;
  dialog.m_bShowStatus = TRUE;
  dialog.m_strStartSelection = files.Path(u"shoots");
  const QString locked = Q(files.Path(u"shoots/day2/locked")), open = Q(files.Path(u"shoots/day2"));
  const BOOL result = Browse(dialog, [&](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Browse For Folder"));  // no caption: its own
    EXPECT_EQ(TopPath(d), QDir::rootPath());
    QAbstractButton* ok = Button(d, QDialogButtonBox::Ok);
    EXPECT_TRUE(ok->isEnabled());
    ASSERT_TRUE(Pick(d, locked));
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(Label(d, "status")->text(), QStringLiteral("Folder: ") + locked);
    ASSERT_TRUE(Pick(d, open));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(Label(d, "status")->text(), QStringLiteral("Folder: ") + open);
    Button(d, QDialogButtonBox::Cancel)->click();
  });
  EXPECT_EQ(result, FALSE);
  EXPECT_EQ(dialog.seen,
            (std::vector<std::u16string>{files.Path(u"shoots"), locked.toStdU16String(), open.toStdU16String()}));
}

}  // namespace

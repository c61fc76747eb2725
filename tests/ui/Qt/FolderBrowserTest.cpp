// The Qt folder browser with its real widgets, driven from inside its event loop.
#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QAbstractItemModelTester>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"
#include "ui/DirDialog.h"
#include "ui/Qt/DesktopModel.h"

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
QAbstractProxyModel& Proxy(QDialog& d) { return *qobject_cast<QAbstractProxyModel*>(Tree(d).model()); }
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
    EXPECT_EQ(TopPath(d), QDir::homePath());  // no root: the desktop's top level, home first
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

// Without a root folder, the top level of a desktop. HOME is a folder of the test's own, so
// that the home branch can be looked into.
TEST_F(QtFolderBrowser, WithoutARootTheTopLevelIsHomeTheVolumesAndTheRootAndHomeIsOpen) {
  files.MakeFolder(u"home/footage/day3");
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", QFile::encodeName(Q(files.Path(u"home"))));
  const QString home = QDir::homePath(), wanted = Q(files.Path(u"home/footage/day3"));
  CDirDialog dialog;
  const BOOL result = Browse(dialog, [&](QDialog& d) {
    QAbstractProxyModel& top = Proxy(d);
    const int tops = top.rowCount(QModelIndex());
    ASSERT_GE(tops, 2);
    EXPECT_EQ(PathOf(d, top.index(0, 0)), home);
    EXPECT_EQ(top.index(0, 0).data().toString(), QStringLiteral("Home"));
    EXPECT_TRUE(Tree(d).isExpanded(top.index(0, 0)));
    EXPECT_EQ(Tree(d).currentIndex(), top.index(0, 0));  // opened on its first item
    EXPECT_EQ(PathOf(d, top.index(tops - 1, 0)), QDir::rootPath());
    QStringList volumes, expected;
    for (int row = 1; row < tops - 1; ++row) volumes << PathOf(d, top.index(row, 0));
    for (const auto& v : marlowin::ui::qt::BrowsableVolumes(marlowin::ui::qt::MountedVolumes(), home))
      expected << v.rootPath;
    EXPECT_EQ(volumes, expected);
    // A folder below home is reached through Home, and confirming it gives its path.
    ASSERT_TRUE(Pick(d, wanted));
    QModelIndex up = Tree(d).currentIndex();
    while (up.parent().isValid()) up = up.parent();
    EXPECT_EQ(up.row(), 0);
    Button(d, QDialogButtonBox::Ok)->click();
  });
  qputenv("HOME", oldHome);
  ASSERT_EQ(result, TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, wanted.toStdU16String());
}

TEST(QtDesktopTopLevel, VolumesAreFilteredToRemovableAndNetworkOnesOnce) {
  using marlowin::ui::qt::MountedVolume;
  using marlowin::ui::qt::TopFolder;
  const auto v = [](const char* root, const char* type, const char* device, const char* name = "", bool ready = true) {
    return MountedVolume{QString::fromUtf8(root), QString::fromUtf8(type), QString::fromUtf8(device),
                         QString::fromUtf8(name), ready};
  };
  const std::vector<MountedVolume> mounted = {
      v("/", "ext4", "/dev/sda1"),                        // the root itself
      v("/home/u", "ext4", "/dev/sda2"),                  // the home folder
      v("/boot/efi", "vfat", "/dev/sda3"),                // neither removable nor network
      v("/media/u/CARD", "exfat", "/dev/sdb1", "CARD"),
      v("/media/u/CARD/", "exfat", "/dev/sdb1"),          // the same place again
      v("/mnt/card-again", "exfat", "/dev/sdb1"),         // the same device elsewhere
      v("/run/media/u/SSD", "ext4", "/dev/sdc1", "SSD"),
      v("/mnt", "ext4", "/dev/sdd1"),
      v("/mnt2", "ext4", "/dev/sde1"),                    // not below /mnt
      v("/media/u/NOTREADY", "xfs", "/dev/sdf1", "", false),
      v("/srv/nas", "nfs4", "nas:/footage"),
      v("/home/u/remote", "fuse.sshfs", "u@host:"),
      v("/net/share", "cifs", "//server/share"),
      v("/run/user/1000/doc", "fuse.portal", "portal"),   // pseudo file systems
      v("/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse"),
      v("/media/u/scratch", "tmpfs", "tmpfs"),
      v("/mnt/auto", "autofs", "systemd-1"),
      v("/proc", "proc", "proc"),
  };
  const std::vector<MountedVolume> kept = marlowin::ui::qt::BrowsableVolumes(mounted, QStringLiteral("/home/u/"));
  QStringList roots;
  for (const MountedVolume& volume : kept) roots << volume.rootPath;
  EXPECT_EQ(roots, (QStringList{"/home/u/remote", "/media/u/CARD", "/mnt", "/net/share", "/run/media/u/SSD", "/srv/nas"}));

  const std::vector<TopFolder> tops = marlowin::ui::qt::DesktopFolders(QDir::tempPath(), kept);
  ASSERT_EQ(tops.size(), 8u);
  EXPECT_EQ(tops.front().kind, TopFolder::Kind::kHome);
  EXPECT_EQ(tops.front().path, QDir::tempPath());
  EXPECT_EQ(tops[2].name, QStringLiteral("CARD"));
  EXPECT_EQ(tops[3].name, QStringLiteral("mnt"));  // no label: the folder's name
  EXPECT_EQ(tops[4].kind, TopFolder::Kind::kNetworkVolume);
  EXPECT_EQ(tops[2].kind, TopFolder::Kind::kVolume);
  EXPECT_EQ(tops.back().kind, TopFolder::Kind::kRoot);
  EXPECT_EQ(tops.back().path, QStringLiteral("/"));
}

// One folder under two top items: each branch has its own places, and the way from the
// file system's model goes through the nearest top item. (The outer top item is the test's
// folder rather than "/": Qt's model checks walk the whole tree.)
TEST_F(QtFolderBrowser, DesktopModelShowsAFolderUnderEachTopItemThatHoldsIt) {
  using marlowin::ui::qt::TopFolder;
  const QString outer = Q(files.Root()), a = Q(files.Path(u"shoots")), day2 = Q(files.Path(u"shoots/day2"));
  QFileSystemModel fs;
  fs.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  fs.setRootPath(QDir::rootPath());
  marlowin::ui::qt::DesktopModel desktop(
      &fs, {{TopFolder::Kind::kHome, a, QStringLiteral("Home")}, {TopFolder::Kind::kRoot, outer, QStringLiteral("Outer")}},
      nullptr);
  // Qt's own checks of a model, on every change the listing makes; a failure is a warning.
  static QStringList modelFailures;
  modelFailures.clear();
  const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
    if (text.contains(QStringLiteral("FAIL"))) modelFailures << text;
  });
  QAbstractItemModelTester tester(&desktop, QAbstractItemModelTester::FailureReportingMode::Warning);
  const auto waitFor = [](const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };

  ASSERT_EQ(desktop.rowCount(), 2);
  const QModelIndex home = desktop.index(0, 0), root = desktop.index(1, 0);
  EXPECT_EQ(home.data().toString(), QStringLiteral("Home"));
  EXPECT_EQ(fs.filePath(desktop.mapToSource(home)), a);
  EXPECT_EQ(fs.filePath(desktop.mapToSource(root)), outer);
  // Listed in the background: wait for both folders under Home.
  desktop.fetchMore(home);
  waitFor([&] { return desktop.rowCount(home) == 2; });
  ASSERT_EQ(desktop.rowCount(home), 2);
  const QModelIndex viaHome = desktop.mapFromSource(fs.index(day2));
  ASSERT_TRUE(viaHome.isValid());
  EXPECT_EQ(viaHome.parent(), home);
  EXPECT_EQ(fs.filePath(desktop.mapToSource(viaHome)), day2);
  // The same folder down the outer branch, step by step.
  QModelIndex step = root;
  for (const QString& name : {QStringLiteral("shoots"), QStringLiteral("day2")}) {
    desktop.fetchMore(step);
    QModelIndex next;
    waitFor([&] {
      for (int row = 0; row < desktop.rowCount(step); ++row) {
        if (desktop.index(row, 0, step).data().toString() == name) next = desktop.index(row, 0, step);
      }
      return next.isValid();
    });
    ASSERT_TRUE(next.isValid()) << name.toStdString();
    step = next;
  }
  EXPECT_NE(step, viaHome);
  EXPECT_EQ(fs.filePath(desktop.mapToSource(step)), day2);
  EXPECT_EQ(step.parent().parent(), root);
  // A folder made now shows under both, and goes from both when it is removed.
  files.MakeFolder(u"shoots/day2/new");
  fs.fetchMore(fs.index(day2));
  waitFor([&] { return desktop.rowCount(viaHome) == 2 && desktop.rowCount(step) == 2; });
  EXPECT_EQ(desktop.rowCount(viaHome), 2);  // locked and new
  EXPECT_EQ(desktop.rowCount(step), 2);
  ASSERT_TRUE(QDir(Q(files.Path(u"shoots/day2/new"))).removeRecursively());
  waitFor([&] { return desktop.rowCount(viaHome) == 1 && desktop.rowCount(step) == 1; });
  EXPECT_EQ(desktop.rowCount(viaHome), 1);
  EXPECT_EQ(desktop.rowCount(step), 1);
  qInstallMessageHandler(previous);
  EXPECT_TRUE(modelFailures.isEmpty()) << modelFailures.join(u'\n').toStdString();
}

}  // namespace

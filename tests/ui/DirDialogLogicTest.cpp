// The dialog's logic against a recording shell: what it asks of the shell, in which order,
// and what Browse makes of the answers.
#include <gtest/gtest.h>

#include "tests/ui/FakeDirShell.h"
#include "ui/DirDialog.h"

namespace {

using marlowin::testing::FakeDirShell;
using marlowin::ui::ScopedDirShell;
using Request = FakeDirShell::Request;

TEST(DirDialogDefaults, ConfirmedFolderComesBackWithItsPath) {
  FakeDirShell shell;
  ScopedDirShell use(shell);
  shell.ConfirmPath(u"C:\\Shoots");
  CDirDialog dialog;
  EXPECT_EQ(dialog.Browse(), TRUE);
  EXPECT_EQ(dialog.m_strChosenPath, u"C:\\Shoots");
  EXPECT_TRUE(shell.Balanced());
}

}  // namespace

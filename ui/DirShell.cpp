#include "ui/DirShell.h"

namespace marlowin::ui {
namespace {

// The program runs its dialogs on one thread; the override is plain program state.
DirShell* installed = nullptr;

}  // namespace

DirShell& CurrentDirShell() { return installed ? *installed : PlatformDirShell(); }

ScopedDirShell::ScopedDirShell(DirShell& shell) : previous_(installed) { installed = &shell; }

ScopedDirShell::~ScopedDirShell() { installed = previous_; }

}  // namespace marlowin::ui

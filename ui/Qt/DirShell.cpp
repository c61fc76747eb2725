// The folder browser on Linux: a Qt dialog that behaves like the Windows shell's.
#include "ui/DirShell.h"

namespace marlowin::ui {
namespace {

class QtDirShell final : public DirShell {
 public:
  DirResult GetAllocator(DirAllocator*&) override { return -1; }
  DirResult GetDesktop(DirFolder*&) override { return -1; }
  DirResult ParseName(DirFolder*, char16_t*, DirItemList*&) override { return -1; }
  DirItemList* BrowseForFolder(DirBrowseInfo&) override { return nullptr; }
  BOOL PathFromItem(const DirItemList*, char16_t* path) override {
    path[0] = u'\0';
    return FALSE;
  }
  void FreeItem(DirAllocator*, DirItemList*) override {}
  void ReleaseAllocator(DirAllocator*) override {}
  void ReleaseDesktop(DirFolder*) override {}
  std::intptr_t Send(DirWindow*, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  BOOL SetCaption(DirWindow*, const char16_t*) override { return FALSE; }
  BOOL ReadClientRect(DirWindow*, DirRect&) override { return FALSE; }
  int ScreenMetric(int) override { return 0; }
  BOOL Place(DirWindow*, std::intptr_t, int, int, int, int, std::uint32_t) override { return FALSE; }
};

}  // namespace

DirShell& PlatformDirShell() {
  static QtDirShell shell;
  return shell;
}

}  // namespace marlowin::ui

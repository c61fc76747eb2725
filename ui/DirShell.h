#pragma once

// The shell folder browser as the dialog needs it: the operations of the Windows shell, by
// their meaning, with handles of our own. The Windows backend passes them to the real
// shell; the Qt backend carries them out with its own widgets; tests may install another.
#include <cstdint>

#include "platform/Bool.h"

namespace marlowin::ui {

// Opaque handles. Each backend decides what they point at.
struct DirAllocator;  // the allocator that gives back item lists (IMalloc)
struct DirFolder;     // the desktop folder, which parses paths (IShellFolder)
struct DirItemList;   // one item of the shell's name space (ITEMIDLIST)
struct DirWindow;     // the open dialog's window (HWND)

// Result codes as the shell gives them: 0 is S_OK, negative is a failure.
using DirResult = std::int32_t;

// Called by the shell while the dialog is open: window, notification, its parameter, and the
// user data of the description. The result is the callback's answer to the shell.
using DirBrowseCallback = int (*)(DirWindow* window, std::uint32_t message, std::intptr_t param,
                                  std::intptr_t data);

// Sizes and codes the dialog uses, with their Windows values.
inline constexpr int kDirPathCapacity = 260;  // MAX_PATH, terminator included

inline constexpr std::uint32_t kBifReturnOnlyFsDirs = 0x1;
inline constexpr std::uint32_t kBifStatusText = 0x4;
inline constexpr std::uint32_t kBifReturnFsAncestors = 0x8;

inline constexpr std::uint32_t kBffmInitialized = 1;
inline constexpr std::uint32_t kBffmSelChanged = 2;
inline constexpr std::uint32_t kBffmEnableOk = 1125;       // WM_USER + 101
inline constexpr std::uint32_t kBffmSetSelection = 1127;   // WM_USER + 103, the wide version
inline constexpr std::uint32_t kBffmSetStatusText = 1128;  // WM_USER + 104, the wide version

inline constexpr int kSmCxScreen = 0;
inline constexpr int kSmCyScreen = 1;
inline constexpr std::intptr_t kHwndTopmost = -1;
inline constexpr std::uint32_t kSwpShowWindow = 0x40;

// The browse description (BROWSEINFOW).
struct DirBrowseInfo {
  DirWindow* owner = nullptr;
  DirItemList* root = nullptr;       // null roots the tree at the desktop
  char16_t* displayName = nullptr;   // kDirPathCapacity characters, written on confirmation
  const char16_t* title = nullptr;   // the text above the tree
  std::uint32_t flags = 0;
  DirBrowseCallback callback = nullptr;
  std::intptr_t userData = 0;
  std::int32_t image = 0;            // written on confirmation: the item's system icon index
};

struct DirRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

class DirShell {
 public:
  virtual ~DirShell() = default;

  // SHGetMalloc.
  virtual DirResult GetAllocator(DirAllocator*& allocator) = 0;
  // SHGetDesktopFolder.
  virtual DirResult GetDesktop(DirFolder*& desktop) = 0;
  // IShellFolder::ParseDisplayName with no owner window and no bind context; path is a
  // terminated buffer of kDirPathCapacity characters.
  virtual DirResult ParseName(DirFolder* desktop, char16_t* path, DirItemList*& item) = 0;
  // SHBrowseForFolderW: shows the modal dialog; the confirmed item, or null on cancel.
  virtual DirItemList* BrowseForFolder(DirBrowseInfo& info) = 0;
  // SHGetPathFromIDListW: writes at most kDirPathCapacity characters, terminator included;
  // FALSE when the item has no file-system path.
  virtual BOOL PathFromItem(const DirItemList* item, char16_t* path) = 0;
  // IMalloc::Free.
  virtual void FreeItem(DirAllocator* allocator, DirItemList* item) = 0;
  // Release on each interface.
  virtual void ReleaseAllocator(DirAllocator* allocator) = 0;
  virtual void ReleaseDesktop(DirFolder* desktop) = 0;

  // SendMessageW to the dialog window.
  virtual std::intptr_t Send(DirWindow* window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
  // SetWindowTextW.
  virtual BOOL SetCaption(DirWindow* window, const char16_t* text) = 0;
  // GetClientRect.
  virtual BOOL ReadClientRect(DirWindow* window, DirRect& rect) = 0;
  // GetSystemMetrics.
  virtual int ScreenMetric(int index) = 0;
  // SetWindowPos.
  virtual BOOL Place(DirWindow* window, std::intptr_t insertAfter, int x, int y, int width,
                     int height, std::uint32_t flags) = 0;
};

// The platform's own shell: the Windows shell, or the Qt folder browser.
DirShell& PlatformDirShell();

// The shell the dialog uses now: the innermost ScopedDirShell's, else the platform's.
DirShell& CurrentDirShell();

// Makes the dialog use another shell (a test's) for as long as it lives; nests.
class ScopedDirShell {
 public:
  explicit ScopedDirShell(DirShell& shell);
  ScopedDirShell(const ScopedDirShell&) = delete;
  ScopedDirShell& operator=(const ScopedDirShell&) = delete;
  ~ScopedDirShell();

 private:
  DirShell* previous_;
};

}  // namespace marlowin::ui

// The folder browser on Windows: the shell's own, SHBrowseForFolderW.
#include "ui/DirShell.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/WideString.h"

static_assert(MAX_PATH == marlowin::ui::kDirPathCapacity);
static_assert(BIF_RETURNONLYFSDIRS == marlowin::ui::kBifReturnOnlyFsDirs);
static_assert(BIF_STATUSTEXT == marlowin::ui::kBifStatusText);
static_assert(BIF_RETURNFSANCESTORS == marlowin::ui::kBifReturnFsAncestors);
static_assert(BFFM_INITIALIZED == marlowin::ui::kBffmInitialized);
static_assert(BFFM_SELCHANGED == marlowin::ui::kBffmSelChanged);
static_assert(BFFM_ENABLEOK == marlowin::ui::kBffmEnableOk);
static_assert(BFFM_SETSELECTIONW == marlowin::ui::kBffmSetSelection);
static_assert(BFFM_SETSTATUSTEXTW == marlowin::ui::kBffmSetStatusText);
static_assert(SM_CXSCREEN == marlowin::ui::kSmCxScreen && SM_CYSCREEN == marlowin::ui::kSmCyScreen);
static_assert(SWP_SHOWWINDOW == marlowin::ui::kSwpShowWindow);

namespace marlowin::ui {
namespace {

using platform::AsWide;
HWND Handle(DirWindow* window) { return reinterpret_cast<HWND>(window); }
IMalloc* Malloc(DirAllocator* allocator) { return reinterpret_cast<IMalloc*>(allocator); }
IShellFolder* Folder(DirFolder* folder) { return reinterpret_cast<IShellFolder*>(folder); }
PIDLIST_ABSOLUTE Pidl(DirItemList* item) { return reinterpret_cast<PIDLIST_ABSOLUTE>(item); }
PCIDLIST_ABSOLUTE Pidl(const DirItemList* item) {
  return reinterpret_cast<PCIDLIST_ABSOLUTE>(item);
}

// The shell calls back with its own calling convention; this passes the call on to ours.
struct CallbackRoute {
  DirBrowseCallback callback;
  std::intptr_t userData;
};

int CALLBACK RouteCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  const auto* route = reinterpret_cast<const CallbackRoute*>(data);
  if (!route || !route->callback) return 0;
  return route->callback(reinterpret_cast<DirWindow*>(window), message, param, route->userData);
}

class WindowsDirShell final : public DirShell {
 public:
  DirResult GetAllocator(DirAllocator*& allocator) override {
    IMalloc* malloc = nullptr;
    const HRESULT result = SHGetMalloc(&malloc);
    allocator = reinterpret_cast<DirAllocator*>(malloc);
    return result;
  }

  DirResult GetDesktop(DirFolder*& desktop) override {
    IShellFolder* folder = nullptr;
    const HRESULT result = SHGetDesktopFolder(&folder);
    desktop = reinterpret_cast<DirFolder*>(folder);
    return result;
  }

  DirResult ParseName(DirFolder* desktop, char16_t* path, DirItemList*& item) override {
    PIDLIST_RELATIVE pidl = nullptr;
    const HRESULT result =
        Folder(desktop)->ParseDisplayName(nullptr, nullptr, AsWide(path), nullptr, &pidl, nullptr);
    item = reinterpret_cast<DirItemList*>(pidl);
    return result;
  }

  DirItemList* BrowseForFolder(DirBrowseInfo& info) override {
    CallbackRoute route{info.callback, info.userData};
    BROWSEINFOW description{};
    description.hwndOwner = Handle(info.owner);
    description.pidlRoot = Pidl(static_cast<const DirItemList*>(info.root));
    description.pszDisplayName = AsWide(info.displayName);
    description.lpszTitle = AsWide(info.title);
    description.ulFlags = info.flags;
    description.lpfn = info.callback ? &RouteCallback : nullptr;
    description.lParam = reinterpret_cast<LPARAM>(&route);
    description.iImage = info.image;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&description);
    info.image = description.iImage;
    return reinterpret_cast<DirItemList*>(chosen);
  }

  BOOL PathFromItem(const DirItemList* item, char16_t* path) override {
    return SHGetPathFromIDListW(Pidl(item), AsWide(path));
  }

  void FreeItem(DirAllocator* allocator, DirItemList* item) override {
    Malloc(allocator)->Free(Pidl(item));
  }

  void ReleaseAllocator(DirAllocator* allocator) override { Malloc(allocator)->Release(); }

  void ReleaseDesktop(DirFolder* desktop) override { Folder(desktop)->Release(); }

  std::intptr_t Send(DirWindow* window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override {
    return SendMessageW(Handle(window), message, wParam, lParam);
  }

  BOOL SetCaption(DirWindow* window, const char16_t* text) override {
    return SetWindowTextW(Handle(window), AsWide(text));
  }

  BOOL ReadClientRect(DirWindow* window, DirRect& rect) override {
    RECT client{};
    if (!GetClientRect(Handle(window), &client)) return FALSE;
    rect = DirRect{client.left, client.top, client.right, client.bottom};
    return TRUE;
  }

  int ScreenMetric(int index) override { return GetSystemMetrics(index); }

  BOOL Place(DirWindow* window, std::intptr_t insertAfter, int x, int y, int width, int height,
             std::uint32_t flags) override {
    return SetWindowPos(Handle(window), reinterpret_cast<HWND>(insertAfter), x, y, width, height,
                        flags);
  }
};

}  // namespace

DirShell& PlatformDirShell() {
  static WindowsDirShell shell;
  return shell;
}

}  // namespace marlowin::ui

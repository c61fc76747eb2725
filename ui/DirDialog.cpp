#include "ui/DirDialog.h"

#include <string_view>

namespace {

using namespace marlowin::ui;

bool IsTrailingSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Trailing white space goes, then at most one trailing separator; nothing more.
void TidyStartSelection(std::u16string& path) {
  std::size_t end = path.size();
  while (end > 0 && IsTrailingSpace(path[end - 1])) --end;
  path.resize(end);
  if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
}

// The shell writes a terminated string into the buffer; its content runs to the terminator,
// and never past the buffer when a terminator is missing.
void TakeBufferContent(std::u16string& buffer) {
  const std::size_t end = std::u16string_view(buffer).find(u'\0');
  if (end != std::u16string_view::npos) buffer.resize(end);
}

// Gives back what Browse obtained, whichever way it leaves.
class BrowseResources {
 public:
  explicit BrowseResources(DirShell& shell) : shell_(shell) {}
  BrowseResources(const BrowseResources&) = delete;
  BrowseResources& operator=(const BrowseResources&) = delete;
  ~BrowseResources() {
    if (chosen) shell_.FreeItem(allocator, chosen);
    if (root) shell_.FreeItem(allocator, root);
    if (desktop) shell_.ReleaseDesktop(desktop);
    if (allocator) shell_.ReleaseAllocator(allocator);
  }

  DirAllocator* allocator = nullptr;
  DirFolder* desktop = nullptr;
  DirItemList* root = nullptr;
  DirItemList* chosen = nullptr;

 private:
  DirShell& shell_;
};

void OnInitialized(DirShell& shell, DirWindow* window, const CDirDialog& dialog) {
  if (!dialog.m_strStartSelection.empty()) {
    shell.Send(window, kBffmSetSelection, TRUE,
               reinterpret_cast<std::intptr_t>(dialog.m_strStartSelection.c_str()));
  }
  if (!dialog.m_strCaption.empty()) shell.SetCaption(window, dialog.m_strCaption.c_str());

  DirRect client;
  if (!shell.ReadClientRect(window, client)) client = DirRect{};
  const std::int32_t width = client.right - client.left;
  const std::int32_t height = client.bottom - client.top;
  const std::int32_t screenWidth = shell.ScreenMetric(kSmCxScreen);
  const std::int32_t screenHeight = shell.ScreenMetric(kSmCyScreen);
  // Integer division truncates toward zero: a client wider than the screen by 101 pixels
  // sits 50 to the left, not 51. The corner is that of a centred client area; the window
  // around it is larger by the frame allowance.
  shell.Place(window, kHwndTopmost, (screenWidth - width) / 2, (screenHeight - height) / 2,
              width + 25, height + 60, kSwpShowWindow);
}

void OnSelectionChange(DirShell& shell, DirWindow* window, const DirItemList* item,
                       CDirDialog& dialog) {
  char16_t path[kDirPathCapacity] = {};
  if (!shell.PathFromItem(item, path)) path[0] = u'\0';
  path[kDirPathCapacity - 1] = u'\0';

  std::u16string statusText;
  const BOOL enable = dialog.OnSelectionChanged(path, statusText);
  if (dialog.m_bShowStatus) {
    shell.Send(window, kBffmSetStatusText, 0, reinterpret_cast<std::intptr_t>(statusText.c_str()));
  }
  shell.Send(window, kBffmEnableOk, 0, enable);
}

}  // namespace

CDirDialog::CDirDialog() = default;

CDirDialog::~CDirDialog() = default;

BOOL CDirDialog::OnSelectionChanged(const char16_t* /*selectedPath*/,
                                    std::u16string& /*statusText*/) {
  return TRUE;
}

int CDirDialog::BrowseCallback(DirWindow* window, std::uint32_t message, std::intptr_t param,
                               std::intptr_t data) {
  auto* dialog = reinterpret_cast<CDirDialog*>(data);
  if (!dialog) return 0;
  DirShell& shell = CurrentDirShell();
  switch (message) {
    case kBffmInitialized:
      OnInitialized(shell, window, *dialog);
      break;
    case kBffmSelChanged:
      OnSelectionChange(shell, window, reinterpret_cast<const DirItemList*>(param), *dialog);
      break;
    default:
      break;
  }
  return 0;
}

BOOL CDirDialog::Browse() {
  if (!m_strStartSelection.empty()) TidyStartSelection(m_strStartSelection);

  DirShell& shell = CurrentDirShell();
  BrowseResources held(shell);
  if (shell.GetAllocator(held.allocator) != 0) {
    held.allocator = nullptr;
    return FALSE;
  }

  if (!m_strRootFolder.empty()) {
    if (shell.GetDesktop(held.desktop) >= 0) {
      // The root must fit the parse buffer with its terminator; a longer one is refused
      // rather than cut to a different folder or written past the buffer.
      if (m_strRootFolder.size() >= static_cast<std::size_t>(kDirPathCapacity)) return FALSE;
      char16_t rootPath[kDirPathCapacity] = {};
      m_strRootFolder.copy(rootPath, m_strRootFolder.size());
      if (shell.ParseName(held.desktop, rootPath, held.root) < 0) {
        held.root = nullptr;
        return FALSE;
      }
    } else {
      held.desktop = nullptr;
    }
  }

  if (m_strChosenPath.size() < static_cast<std::size_t>(kDirPathCapacity)) {
    m_strChosenPath.resize(kDirPathCapacity);
  }
  DirBrowseInfo info;
  info.owner = nullptr;
  info.root = held.root;
  info.displayName = m_strChosenPath.data();
  info.title = m_strPrompt.empty() ? u"Open" : m_strPrompt.c_str();
  info.flags = kBifReturnOnlyFsDirs | kBifReturnFsAncestors | (m_bShowStatus ? kBifStatusText : 0u);
  info.callback = &CDirDialog::BrowseCallback;
  info.userData = reinterpret_cast<std::intptr_t>(this);
  info.image = 0;

  held.chosen = shell.BrowseForFolder(info);
  if (!held.chosen) return FALSE;

  TakeBufferContent(m_strChosenPath);
  m_nChosenImage = info.image;

  m_strChosenPath.assign(kDirPathCapacity, u'\0');
  const BOOL hasPath = shell.PathFromItem(held.chosen, m_strChosenPath.data());
  TakeBufferContent(m_strChosenPath);
  return hasPath ? TRUE : FALSE;
}

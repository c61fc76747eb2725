#include "framework/MessageBox.h"

#include <windows.h>

#include <string>

#include "platform/WideString.h"

namespace marlowin::sys {

void ShowMessage(std::u16string_view caption, std::u16string_view text, std::u16string_view) {
  // A message box has no place for details: the text carries the first lines of them.
  constexpr UINT kType = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL;
  static_assert(kType == 4112);
  // MessageBoxW wants terminated strings.
  const std::u16string captionText(caption);
  const std::u16string messageText(text);
  MessageBoxW(nullptr, AsWide(messageText), AsWide(captionText), kType);
}

}  // namespace marlowin::sys

#pragma once

// The folder browser: a modal dialog showing the folder tree, from which the user picks one
// file-system folder.
#include <cstdint>
#include <string>

#include "platform/Bool.h"
#include "ui/DirShell.h"

class CDirDialog {
 public:
  CDirDialog();
  virtual ~CDirDialog();

  // Shows the dialog and waits. TRUE when the user confirmed a folder that has a file-system
  // path; m_strChosenPath then holds it. FALSE on cancel and on every failure.
  BOOL Browse();

  // Called each time the selection changes while the dialog is open. selectedPath is empty
  // for an item without a file-system path; statusText is empty on entry and shown in the
  // status line when m_bShowStatus is TRUE. TRUE enables OK, FALSE disables it.
  virtual BOOL OnSelectionChanged(const char16_t* selectedPath, std::u16string& statusText);

  // Handed to the shell with the dialog; data is the CDirDialog. Always returns 0.
  static int BrowseCallback(marlowin::ui::DirWindow* window, std::uint32_t message,
                            std::intptr_t param, std::intptr_t data);

  std::u16string m_strCaption;         // window caption once up; empty keeps the shell's own
  std::u16string m_strChosenPath;      // the result, valid only after Browse returned TRUE
  std::u16string m_strRootFolder;      // root of the tree, under 260 characters; empty: desktop
  std::u16string m_strStartSelection;  // selected on opening; Browse tidies it in place
  std::u16string m_strPrompt;          // text above the tree; empty shows "Open"
  std::int32_t m_nChosenImage = 0;     // system icon index of the chosen folder, after TRUE
  BOOL m_bShowStatus = FALSE;          // TRUE adds a status line the hook fills
};

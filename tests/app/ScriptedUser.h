#pragma once

#include <string>
#include <vector>

namespace marlowin::testing {

// A message box as the user saw it.
struct SeenMessage {
  std::u16string caption;
  std::u16string text;
  bool errorIcon = false;   // the error (stop) icon
  bool onlyOk = false;      // a single button, OK
  bool onTop = false;       // stays above all other windows
  bool blocksProgram = false;  // modal for the whole program
  bool ownerless = false;   // no owner window
};

// A person at the screen working through a script, while the code under test shows its real
// windows on this thread: every folder browser that opens gets the next answer of the script
// (pick this folder, or cancel), every message box is read and dismissed with OK. A folder
// browser with no answer left is cancelled, so a test never waits for a person who is not
// there; a watchdog ends the test program when something hangs all the same.
class ScriptedUser {
 public:
  ScriptedUser();
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;
  ~ScriptedUser();

  void WillChoose(std::u16string folder);
  void WillCancel();

  // The captions of the folder browsers in the order they opened, and the name of the item
  // each had selected when the user first looked at it.
  const std::vector<std::u16string>& BrowserCaptions() const { return browserCaptions_; }
  const std::vector<std::u16string>& BrowserSelections() const { return browserSelections_; }
  const std::vector<SeenMessage>& Messages() const { return messages_; }

  // Used by the platform's part.
  struct Answer {
    bool cancel = true;
    std::u16string folder;
  };
  Answer NextAnswer();
  void SawBrowser(std::u16string caption, std::u16string selected) {
    browserCaptions_.push_back(std::move(caption));
    browserSelections_.push_back(std::move(selected));
  }
  void SawMessage(SeenMessage message) { messages_.push_back(std::move(message)); }

 private:
  struct Platform;
  Platform* platform_;
  std::vector<Answer> answers_;
  std::size_t nextAnswer_ = 0;
  std::vector<std::u16string> browserCaptions_;
  std::vector<std::u16string> browserSelections_;
  std::vector<SeenMessage> messages_;
};

}  // namespace marlowin::testing

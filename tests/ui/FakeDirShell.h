#pragma once

// A shell that records what the dialog asks of it and plays a scripted user: each Browse takes
// the next outcome (after its selection changes: confirm an item, or cancel). Install it with
// marlowin::ui::ScopedDirShell.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/DirDialog.h"
#include "ui/DirShell.h"

namespace marlowin::testing {

class FakeDirShell : public ui::DirShell {
 public:
  // An item of the name space; no path stands for a virtual folder such as the printers.
  struct Item { std::optional<std::u16string> path; };
  struct Outcome {
    std::vector<Item> selections;   // selection changes before closing
    std::optional<Item> confirmed;  // none: the user cancels
    std::u16string displayName;
    std::int32_t image = 0;
  };
  // The settings one Browse was called with.
  struct BrowseCall {
    const CDirDialog* dialog = nullptr;
    std::u16string caption;         // the object's m_strCaption at the time
    std::u16string startSelection;  // its m_strStartSelection, already tidied
    std::u16string title;
    std::optional<std::u16string> rootPath;  // none: the desktop
    std::uint32_t flags = 0;
    bool hasOwner = false;
  };
  struct Message {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::u16string text;  // of the messages that carry a string
  };
  struct Placement {
    std::intptr_t insertAfter;
    int x, y, width, height;
    std::uint32_t flags;
    bool operator==(const Placement&) const = default;
  };

  void ConfirmPath(std::u16string path) {
    outcomes.push_back({{Item{path}}, Item{path}, path.substr(path.find_last_of(u"\\/") + 1)});
  }
  void ConfirmItemWithoutPath() { outcomes.push_back({{Item{}}, Item{}, u"Printers"}); }
  void Cancel() { outcomes.push_back(Outcome{}); }

  ui::DirResult allocatorResult = 0, desktopResult = 0, parseResult = 0;
  bool clientRectReadable = true;
  ui::DirRect clientRect{0, 0, 200, 100};
  int screenWidth = 800, screenHeight = 600;
  std::deque<Outcome> outcomes;  // an empty script cancels
  std::vector<BrowseCall> browses;
  std::vector<std::u16string> parsed, captions;
  std::vector<Message> sent;
  std::vector<Placement> placed;
  int allocatorsHeld = 0, desktopsHeld = 0, itemsHeld = 0;  // handed out, not yet given back

  bool Balanced() const { return allocatorsHeld == 0 && desktopsHeld == 0 && itemsHeld == 0; }
  std::vector<Message> Sent(std::uint32_t message) const {
    std::vector<Message> found;
    for (const Message& m : sent)
      if (m.message == message) found.push_back(m);
    return found;
  }
  ui::DirWindow* Window() { return reinterpret_cast<ui::DirWindow*>(&window_); }

  ui::DirResult GetAllocator(ui::DirAllocator*& allocator) override {
    if (allocatorResult != 0) return allocatorResult;
    allocator = reinterpret_cast<ui::DirAllocator*>(&allocator_);
    ++allocatorsHeld;
    return 0;
  }
  ui::DirResult GetDesktop(ui::DirFolder*& desktop) override {
    if (desktopResult < 0) return desktopResult;
    desktop = reinterpret_cast<ui::DirFolder*>(&desktop_);
    ++desktopsHeld;
    return desktopResult;
  }
  ui::DirResult ParseName(ui::DirFolder* desktop, char16_t* path, ui::DirItemList*& item) override {
    parsed.emplace_back(path);
    if (desktop != reinterpret_cast<ui::DirFolder*>(&desktop_)) return -1;
    if (parseResult < 0) return parseResult;
    item = NewItem(Item{std::u16string(path)});
    return parseResult;
  }
  ui::DirItemList* BrowseForFolder(ui::DirBrowseInfo& info) override {
    const auto* dialog = reinterpret_cast<const CDirDialog*>(info.userData);
    browses.push_back({dialog, dialog ? dialog->m_strCaption : u"",
                       dialog ? dialog->m_strStartSelection : u"", info.title ? info.title : u"",
                       info.root ? AsItem(info.root)->path : std::nullopt, info.flags,
                       info.owner != nullptr});
    Outcome outcome = outcomes.empty() ? Outcome{} : std::move(outcomes.front());
    if (!outcomes.empty()) outcomes.pop_front();
    info.callback(Window(), ui::kBffmInitialized, 0, info.userData);
    for (Item shown : outcome.selections)  // the shell's for the length of the notification
      info.callback(Window(), ui::kBffmSelChanged, reinterpret_cast<std::intptr_t>(&shown), info.userData);
    if (!outcome.confirmed) return nullptr;
    const std::size_t n = std::min<std::size_t>(outcome.displayName.size(), ui::kDirPathCapacity - 1);
    outcome.displayName.copy(info.displayName, n);
    info.displayName[n] = u'\0';
    info.image = outcome.image;
    return NewItem(*outcome.confirmed);
  }
  BOOL PathFromItem(const ui::DirItemList* item, char16_t* path) override {
    const Item* found = AsItem(item);
    path[0] = u'\0';
    if (!found || !found->path || found->path->size() >= ui::kDirPathCapacity) return FALSE;
    path[found->path->copy(path, found->path->size())] = u'\0';
    return TRUE;
  }
  void FreeItem(ui::DirAllocator* allocator, ui::DirItemList* item) override {
    if (allocator != reinterpret_cast<ui::DirAllocator*>(&allocator_)) return;
    auto it = std::find_if(live_.begin(), live_.end(),
                           [item](const auto& p) { return reinterpret_cast<ui::DirItemList*>(p.get()) == item; });
    if (it == live_.end()) return;  // an unknown or twice-freed item stays counted
    live_.erase(it);
    --itemsHeld;
  }
  void ReleaseAllocator(ui::DirAllocator*) override { --allocatorsHeld; }
  void ReleaseDesktop(ui::DirFolder*) override { --desktopsHeld; }

  std::intptr_t Send(ui::DirWindow*, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override {
    const bool text = message == ui::kBffmSetSelection || message == ui::kBffmSetStatusText;
    sent.push_back({message, wParam, lParam, text ? reinterpret_cast<const char16_t*>(lParam) : u""});
    return 0;
  }
  BOOL SetCaption(ui::DirWindow*, const char16_t* text) override { return captions.emplace_back(text), TRUE; }
  BOOL ReadClientRect(ui::DirWindow*, ui::DirRect& rect) override {
    if (clientRectReadable) rect = clientRect;
    return clientRectReadable ? TRUE : FALSE;
  }
  int ScreenMetric(int index) override {
    return index == ui::kSmCxScreen ? screenWidth : index == ui::kSmCyScreen ? screenHeight : 0;
  }
  BOOL Place(ui::DirWindow*, std::intptr_t after, int x, int y, int w, int h, std::uint32_t flags) override {
    return placed.push_back({after, x, y, w, h, flags}), TRUE;
  }

 private:
  static const Item* AsItem(const ui::DirItemList* item) { return reinterpret_cast<const Item*>(item); }
  ui::DirItemList* NewItem(Item item) {
    live_.push_back(std::make_unique<Item>(std::move(item)));
    ++itemsHeld;
    return reinterpret_cast<ui::DirItemList*>(live_.back().get());
  }

  int allocator_ = 0, desktop_ = 0, window_ = 0;
  std::vector<std::unique_ptr<Item>> live_;
};

}  // namespace marlowin::testing

#pragma once

// A shell that records what the dialog asks of it and plays a scripted user: each Browse
// takes the next outcome (confirm a path, confirm an item without one, cancel), after the
// selection changes scripted for it. Install it with marlowin::ui::ScopedDirShell.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/DirDialog.h"
#include "ui/DirShell.h"

namespace marlowin::testing {

class FakeDirShell : public ui::DirShell {
 public:
  // An item of the fake name space; no path stands for a virtual folder such as the printers.
  struct Item {
    std::optional<std::u16string> path;
  };

  // What one Browse does once the dialog is up.
  struct Outcome {
    std::vector<Item> selections;     // selection changes, in order, before closing
    std::optional<Item> confirmed;    // none: the user cancels
    std::u16string displayName;       // written into the description on confirmation
    std::int32_t image = 0;
  };

  // The settings one Browse was called with.
  struct BrowseCall {
    const CDirDialog* dialog = nullptr;
    std::u16string caption;           // the object's m_strCaption at the time
    std::u16string startSelection;    // its m_strStartSelection, already tidied
    std::u16string title;             // the text above the tree
    std::optional<std::u16string> rootPath;  // the parsed root, none for the desktop
    std::uint32_t flags = 0;
    bool hasOwner = false;
    std::int32_t imageOnEntry = -1;
  };

  // Every request, in order.
  struct Request {
    enum Kind { GetAllocator, GetDesktop, ParseName, Browse, PathFromItem, FreeItem,
                ReleaseAllocator, ReleaseDesktop, Send, SetCaption, ReadClientRect,
                ScreenMetric, Place };
    Request(Kind k, std::u16string t = {}) : kind(k), text(std::move(t)) {}
    Kind kind;
    std::u16string text;              // path parsed, caption set, or the string a message carried
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::uint32_t flags = 0;
  };

  // The scripted user.
  void ConfirmPath(std::u16string path) {
    Outcome outcome;
    outcome.selections.push_back(Item{path});
    outcome.displayName = path.substr(path.find_last_of(u"\\/") + 1);
    outcome.confirmed = Item{std::move(path)};
    outcomes.push_back(std::move(outcome));
  }
  void ConfirmItemWithoutPath() {
    Outcome outcome;
    outcome.selections.push_back(Item{});
    outcome.displayName = u"Printers";
    outcome.confirmed = Item{};
    outcomes.push_back(std::move(outcome));
  }
  void Cancel() { outcomes.push_back(Outcome{}); }

  // Failure injection and the figures the window reports.
  ui::DirResult allocatorResult = 0;
  ui::DirResult desktopResult = 0;
  ui::DirResult parseResult = 0;
  bool clientRectReadable = true;
  ui::DirRect clientRect{0, 0, 200, 100};
  int screenWidth = 800;
  int screenHeight = 600;

  std::deque<Outcome> outcomes;       // an empty script cancels
  std::vector<BrowseCall> browses;
  std::vector<Request> requests;

  // Interfaces and item lists handed out and not yet given back.
  int allocatorsHeld = 0;
  int desktopsHeld = 0;
  int itemsHeld = 0;
  bool Balanced() const { return allocatorsHeld == 0 && desktopsHeld == 0 && itemsHeld == 0; }

  // The requests of one kind, and their messages.
  std::vector<Request> Requests(Request::Kind kind) const {
    std::vector<Request> found;
    std::copy_if(requests.begin(), requests.end(), std::back_inserter(found),
                 [kind](const Request& r) { return r.kind == kind; });
    return found;
  }
  std::vector<Request> Messages(std::uint32_t message) const {
    std::vector<Request> found;
    for (const Request& r : requests)
      if (r.kind == Request::Send && r.message == message) found.push_back(r);
    return found;
  }

  // The window handle the fake dialog has while it is open.
  ui::DirWindow* Window() { return reinterpret_cast<ui::DirWindow*>(&window_); }

  // The shell's side.
  ui::DirResult GetAllocator(ui::DirAllocator*& allocator) override {
    requests.push_back(Request(Request::GetAllocator));
    if (allocatorResult != 0) return allocatorResult;
    allocator = reinterpret_cast<ui::DirAllocator*>(&allocator_);
    ++allocatorsHeld;
    return 0;
  }
  ui::DirResult GetDesktop(ui::DirFolder*& desktop) override {
    requests.push_back(Request(Request::GetDesktop));
    if (desktopResult < 0) return desktopResult;
    desktop = reinterpret_cast<ui::DirFolder*>(&desktop_);
    ++desktopsHeld;
    return desktopResult;
  }
  ui::DirResult ParseName(ui::DirFolder* desktop, char16_t* path, ui::DirItemList*& item) override {
    requests.push_back(Request(Request::ParseName, path));
    if (desktop != reinterpret_cast<ui::DirFolder*>(&desktop_)) return kInvalidArg;
    if (parseResult < 0) return parseResult;
    item = NewItem(Item{std::u16string(path)});
    return parseResult;
  }
  ui::DirItemList* BrowseForFolder(ui::DirBrowseInfo& info) override {
    Request request(Request::Browse, info.title ? info.title : u"");
    request.flags = info.flags;
    requests.push_back(request);
    const auto* dialog = reinterpret_cast<const CDirDialog*>(info.userData);
    BrowseCall call;
    call.dialog = dialog;
    if (dialog) {
      call.caption = dialog->m_strCaption;
      call.startSelection = dialog->m_strStartSelection;
    }
    call.title = info.title ? info.title : u"";
    if (info.root) call.rootPath = AsItem(info.root)->path;
    call.flags = info.flags;
    call.hasOwner = info.owner != nullptr;
    call.imageOnEntry = info.image;
    browses.push_back(call);

    Outcome outcome;
    if (!outcomes.empty()) {
      outcome = std::move(outcomes.front());
      outcomes.pop_front();
    }
    if (info.callback) {
      info.callback(Window(), ui::kBffmInitialized, 0, info.userData);
      for (const Item& selection : outcome.selections) {
        Item shown = selection;  // the shell owns it for the length of the notification
        info.callback(Window(), ui::kBffmSelChanged,
                      reinterpret_cast<std::intptr_t>(&shown), info.userData);
      }
    }
    if (!outcome.confirmed) return nullptr;
    if (info.displayName) {
      const std::size_t n = std::min<std::size_t>(outcome.displayName.size(), ui::kDirPathCapacity - 1);
      outcome.displayName.copy(info.displayName, n);
      info.displayName[n] = u'\0';
    }
    info.image = outcome.image;
    return NewItem(*outcome.confirmed);
  }
  BOOL PathFromItem(const ui::DirItemList* item, char16_t* path) override {
    requests.push_back(Request(Request::PathFromItem));
    const Item* found = reinterpret_cast<const Item*>(item);
    if (!found || !found->path || found->path->size() >= ui::kDirPathCapacity) {
      path[0] = u'\0';
      return FALSE;
    }
    found->path->copy(path, found->path->size());
    path[found->path->size()] = u'\0';
    return TRUE;
  }
  void FreeItem(ui::DirAllocator* allocator, ui::DirItemList* item) override {
    requests.push_back(Request(Request::FreeItem));
    if (allocator != reinterpret_cast<ui::DirAllocator*>(&allocator_)) return;
    auto it = std::find_if(live_.begin(), live_.end(),
                           [item](const std::unique_ptr<Item>& p) { return AsList(p.get()) == item; });
    if (it == live_.end()) return;  // an unknown or twice-freed item stays counted
    live_.erase(it);
    --itemsHeld;
  }
  void ReleaseAllocator(ui::DirAllocator*) override {
    requests.push_back(Request(Request::ReleaseAllocator));
    --allocatorsHeld;
  }
  void ReleaseDesktop(ui::DirFolder*) override {
    requests.push_back(Request(Request::ReleaseDesktop));
    --desktopsHeld;
  }

  std::intptr_t Send(ui::DirWindow*, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override {
    Request request(Request::Send);
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    if (message == ui::kBffmSetSelection || message == ui::kBffmSetStatusText)
      request.text = reinterpret_cast<const char16_t*>(lParam);
    requests.push_back(request);
    return 0;
  }
  BOOL SetCaption(ui::DirWindow*, const char16_t* text) override {
    requests.push_back(Request(Request::SetCaption, text));
    return TRUE;
  }
  BOOL ReadClientRect(ui::DirWindow*, ui::DirRect& rect) override {
    requests.push_back(Request(Request::ReadClientRect));
    if (!clientRectReadable) return FALSE;
    rect = clientRect;
    return TRUE;
  }
  int ScreenMetric(int index) override {
    Request request(Request::ScreenMetric);
    request.message = static_cast<std::uint32_t>(index);
    requests.push_back(request);
    return index == ui::kSmCxScreen ? screenWidth : index == ui::kSmCyScreen ? screenHeight : 0;
  }
  BOOL Place(ui::DirWindow*, std::intptr_t insertAfter, int x, int y, int width, int height,
             std::uint32_t flags) override {
    Request request(Request::Place);
    request.lParam = insertAfter;
    request.x = x;
    request.y = y;
    request.width = width;
    request.height = height;
    request.flags = flags;
    requests.push_back(request);
    return TRUE;
  }

 private:
  static constexpr ui::DirResult kInvalidArg = static_cast<ui::DirResult>(0x80070057u);

  static ui::DirItemList* AsList(Item* item) { return reinterpret_cast<ui::DirItemList*>(item); }
  static const Item* AsItem(const ui::DirItemList* item) { return reinterpret_cast<const Item*>(item); }
  ui::DirItemList* NewItem(Item item) {
    live_.push_back(std::make_unique<Item>(std::move(item)));
    ++itemsHeld;
    return AsList(live_.back().get());
  }

  int allocator_ = 0;
  int desktop_ = 0;
  int window_ = 0;
  std::vector<std::unique_ptr<Item>> live_;
};

}  // namespace marlowin::testing

#include "collector/pass/CacheAhead.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/Files.h"

namespace marlowin::pass {
namespace {

// The platform's reads, each clip's file open while it is read.
CacheAhead::Reader PlatformReader() {
  struct Open {
    std::u16string path;
    platform::File file;
  };
  auto open = std::make_shared<Open>();
  return [open](const std::u16string& path, std::uint64_t offset, std::uint64_t length, std::uint64_t& got) {
    if (path.empty()) {
      open->file = platform::File();
      open->path.clear();
      return std::error_code();
    }
    if (open->path != path || !open->file.IsOpen()) {
      open->file = platform::File();
      open->path = path;
      if (const std::error_code error = open->file.OpenForReading(path)) return error;
    }
    return open->file.ReadIntoCache(offset, length, got);
  };
}

}  // namespace

bool ReadFromStart(const plan::Plan& plan, const plan::PlannedClip& clip) {
  if (clip.blocked) return false;
  for (std::size_t d = 0; d < plan.destinations.size(); ++d) {
    if (clip.adl[d].action == plan::CopyAction::kWrite && !(d > 0 && clip.adl[d].fromAdlCopy)) return true;
    if (clip.hasIntCopy && clip.intCopy[d].action == plan::CopyAction::kWrite && !clip.intCopy[d].fromAdlCopy) return true;
  }
  return false;
}

CacheAhead::CacheAhead(const plan::Plan& plan, Reader reader, std::uint64_t window, std::uint64_t step,
                     std::uint64_t leastClip)
    : plan_(plan), reader_(reader ? std::move(reader) : PlatformReader()), window_(window),
      step_(std::max<std::uint64_t>(step, 1)), leastClip_(leastClip) {
  worker_ = std::thread([this] { Run(); });
}

CacheAhead::~CacheAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  moved_.notify_all();
  worker_.join();
}

bool CacheAhead::ReadsAhead(const plan::Step& step) const {
  if (step.kind != plan::StepKind::kClip) return false;
  const plan::PlannedClip& clip = plan_.shots[step.shot].clips[step.index];
  return clip.size >= leastClip_ && ReadFromStart(plan_, clip);
}

bool CacheAhead::Next(Cursor& cursor) const {
  while (cursor.step < plan_.steps.size() && !ReadsAhead(plan_.steps[cursor.step])) ++cursor.step;
  return cursor.step < plan_.steps.size();
}

const plan::PlannedClip& CacheAhead::ClipOf(const Cursor& cursor) const {
  const plan::Step& step = plan_.steps[cursor.step];
  return plan_.shots[step.shot].clips[step.index];
}

void CacheAhead::BeginClip(std::uint32_t shot, std::uint32_t clip) {
  // A clip not read ahead moves nothing; one that is lies at or after the copy's cursor.
  const plan::PlannedClip& begun = plan_.shots[shot].clips[clip];
  following_ = false;
  if (begun.size < leastClip_ || !ReadFromStart(plan_, begun)) return;
  Cursor at = copy_;
  for (; Next(at); at.start += ClipOf(at).size, ++at.step) {
    const plan::Step& step = plan_.steps[at.step];
    if (step.shot == shot && step.index == clip) break;
  }
  if (at.step >= plan_.steps.size()) return;
  copy_ = at;
  following_ = true;
  Copied(0);
}

void CacheAhead::Copied(std::uint64_t offset) {
  if (!following_) return;
  {
    std::lock_guard lock(mutex_);
    position_ = std::max(position_, copy_.start + std::min(offset, ClipOf(copy_).size));
  }
  moved_.notify_all();
}

void CacheAhead::Run() {
  for (Cursor at; Next(at); at.start += ClipOf(at).size, ++at.step) {
    const plan::PlannedClip& clip = ClipOf(at);
    const plan::Step& step = plan_.steps[at.step];
    const std::u16string path = plan_.ClipPath(plan_.shots[step.shot], clip);
    std::uint64_t offset = 0;
    while (offset < clip.size) {
      {
        std::unique_lock lock(mutex_);
        moved_.wait(lock, [&] { return stop_ || at.start + offset < position_ + window_; });
        if (stop_) return;
        // Behind the copy nothing is worth reading: on from where it is.
        if (position_ >= at.start + clip.size) break;
        offset = std::max(offset, position_ - std::min(position_, at.start));
      }
      std::uint64_t got = 0;
      const std::error_code error = reader_(path, offset, std::min(step_, clip.size - offset), got);
      if (error || got == 0) break;  // the copy meets the fault, or the clip's new size, itself
      offset += got;
    }
    std::uint64_t none = 0;
    (void)reader_({}, 0, 0, none);
  }
}

}  // namespace marlowin::pass

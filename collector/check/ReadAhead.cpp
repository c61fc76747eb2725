#include "collector/check/ReadAhead.h"

#include <chrono>
#include <utility>

#include "platform/Errors.h"

namespace marlowin::check {

ReadAhead::ReadAhead(platform::FileSystem& fs, std::vector<std::u16string> paths, const std::atomic<bool>& stop)
    : fs_(fs), paths_(std::move(paths)), stop_(stop) {
  thread_ = std::thread([this] { ReadAll(); });
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

ReadAhead::Slot* ReadAhead::FreeSlot() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return quit_ || stop_ || filled_ < kSlots; });
  if (quit_ || stop_) return nullptr;
  return &slots_[(first_ + filled_) % kSlots];
}

void ReadAhead::Fill() {
  {
    std::lock_guard lock(mutex_);
    ++filled_;
  }
  changed_.notify_all();
}

void ReadAhead::ReadAll() {
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    std::unique_ptr<platform::OpenFile> file;
    std::error_code error = fs_.OpenFromDisk(paths_[i], file);
    platform::FileStatus status;
    if (!error && !file->Status(status) && status.size >= kPieceSize) {
      for (Slot& slot : slots_) slot.buffer.ForWholeReads();
    }
    for (;;) {
      Slot* slot = FreeSlot();
      if (!slot) break;
      std::size_t got = 0;
      if (!error) error = file->Read(slot->buffer.data(), slot->buffer.size(), got);
      slot->piece = {i, slot->buffer.data(), got, got == 0 || error, error};
      if (slot->piece.end) slot->piece.size = 0;
      const bool end = slot->piece.end;
      Fill();
      if (end) break;
    }
    if (stop_) break;
  }
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool ReadAhead::Next(Piece& piece) {
  std::unique_lock lock(mutex_);
  if (holding_) {
    first_ = (first_ + 1) % kSlots;
    --filled_;
    holding_ = false;
    changed_.notify_all();
  }
  // The stop flag is polled: it is set from a signal handler, which cannot notify.
  while (filled_ == 0 && !finished_ && !stop_) changed_.wait_for(lock, std::chrono::milliseconds(100));
  if (filled_ == 0 || stop_) return false;
  holding_ = true;
  piece = slots_[first_].piece;
  return true;
}

}  // namespace marlowin::check

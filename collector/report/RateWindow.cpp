#include "collector/report/RateWindow.h"

namespace marlowin::report {
namespace {

// Pieces shorter than this are merged, so that a pass reporting thousands of small clips a
// second keeps the window to a few dozen pieces.
constexpr std::chrono::milliseconds kPiece{250};

}  // namespace

void RateWindow::Add(Duration busy, std::uint64_t bytes) {
  if (busy <= Duration::zero() && bytes == 0) return;
  if (!pieces_.empty() && pieces_.back().busy < kPiece) {
    pieces_.back().busy += busy;
    pieces_.back().bytes += bytes;
  } else {
    pieces_.push_back({busy, bytes});
  }
  busy_ += busy;
  bytes_ += bytes;
  // The oldest piece goes once the others span the window without it.
  while (pieces_.size() > 1 && busy_ - pieces_.front().busy >= window_) {
    busy_ -= pieces_.front().busy;
    bytes_ -= pieces_.front().bytes;
    pieces_.pop_front();
  }
}

void RateWindow::Clear() {
  pieces_.clear();
  busy_ = Duration::zero();
  bytes_ = 0;
}

std::optional<double> RateWindow::BytesPerSecond() const {
  if (busy_ < shortest_ || busy_ <= Duration::zero()) return std::nullopt;
  return static_cast<double>(bytes_) / std::chrono::duration<double>(busy_).count();
}

}  // namespace marlowin::report

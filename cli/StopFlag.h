#pragma once

#include <atomic>

#include "collector/report/Progress.h"

namespace marlowin {

// Asks a pass or a check to stop when Ctrl+C was pressed, where no progress line is drawn.
class StopFlag final : public report::PassObserver {
 public:
  explicit StopFlag(std::atomic<bool>* stop) : stop_(stop) {}
  void OnProgress(const report::PassProgress&) override {}
  bool StopRequested() override { return stop_ && stop_->load(); }

 private:
  std::atomic<bool>* stop_;
};

}  // namespace marlowin

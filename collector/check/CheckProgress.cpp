#include "collector/check/CheckProgress.h"

namespace marlowin::check {
namespace {

class PassDisplay final : public CheckObserver {
 public:
  explicit PassDisplay(report::PassObserver& display) : display_(display) {}

  void OnProgress(const CheckProgress& check) override {
    report::PassProgress shown;
    shown.stage = check.stage == CheckProgress::Stage::kReadingHistory ? report::PassProgress::Stage::kPlanning
                  : check.stage == CheckProgress::Stage::kDone       ? report::PassProgress::Stage::kDone
                                                                     : report::PassProgress::Stage::kVerifying;
    shown.readingBack = check.stage == CheckProgress::Stage::kReadingFiles;
    shown.clipsDone = check.filesDone;
    shown.clipsTotal = check.filesTotal;
    shown.bytesReadBack = check.bytesDone;
    shown.bytesToReadBack = check.bytesTotal;
    shown.currentClip = check.currentFile;
    display_.OnProgress(shown);
  }
  bool StopRequested() override { return display_.StopRequested(); }

 private:
  report::PassObserver& display_;
};

}  // namespace

std::unique_ptr<CheckObserver> ShownOn(report::PassObserver& display) { return std::make_unique<PassDisplay>(display); }

}  // namespace marlowin::check

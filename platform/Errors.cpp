#include "platform/Errors.h"

namespace marlowin::platform {
namespace {

class Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "marlowin"; }
  std::string message(int value) const override {
    switch (static_cast<Errc>(value)) {
      case Errc::kCancelled: return "stopped by the user";
      case Errc::kSourceChanged: return "the clip changed while it was copied";
      case Errc::kCopyDiffers: return "copy differs from the source";
      case Errc::kNotARegularFile: return "not a regular file";
      case Errc::kFolderInUse: return "another pass is working on this folder";
      case Errc::kLeftoverInUse: return "still in use by a running pass";
      case Errc::kDestinationGone:
        return "the copy to folder is gone (its disk was removed or unmounted, or another took its place)";
      case Errc::kStartingFolderGone:
        return "the starting folder is gone (its card or disk was removed or unmounted, or another took its place)";
      case Errc::kBackupGone:
        return "the backup folder is gone (its disk was removed or unmounted, or another took its place)";
      case Errc::kThroughLink: return "a link lies on the way: no copy is written through a link";
      case Errc::kClipChanged: return "it changed while being collected";
      case Errc::kRecordedCopyDiffers: return "the history records another clip's copy there";
    }
    return "unknown error";
  }
};

}  // namespace

const std::error_category& MarlowinCategory() {
  static const Category category;
  return category;
}


std::string Describe(const std::error_code& error) {
  if (!error) return "no error";
  std::string text = error.message();
  // System texts may end in a line break or a full stop (Windows); a reason sits mid-line.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? error.category().name() + std::string(" error ") + std::to_string(error.value())
                      : text;
}

}  // namespace marlowin::platform

#include "collector/pass/CopyMend.h"

#include "history/MhlDate.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"
#include "platform/Paths.h"

namespace marlowin::pass {

std::u16string RecordedBy(const recorder::RecordedCopy& recorded) {
  return u"generation " + platform::FromNativeName(std::to_string(recorded.sequence)) + u" on " +
         platform::FromNativeName(history::FormatShownDate(recorded.recorded));
}

bool CopyMender::Mend(const std::u16string& clipPath, const plan::PlannedClip& clip, const std::u16string& target,
                      bool intCopy, CopyResult& result) {
  // A copy that a later clip of this pass replaces (or a clean-up deletes) is not this clip's to
  // mend: the two would race for its name.
  if (clip.loses != plan::kNoIndex && plan_.problems[clip.loses].target == target) {
    problems_.Tell(plan_.problems[clip.loses]);
    return false;
  }
  platform::FileStatus clipStatus;
  std::string hash;
  std::error_code error = HashClip(clipPath, clip, clipStatus, hash);
  if (!error) {
    // What someone may have cleared a card on is replaced only by the very bytes recorded.
    if (const recorder::RecordedCopy* recorded = plan_.Recorded(target); recorded && recorded->xxh128 != hash) {
      report::Problem& problem = problems_.FailClip(report::Operation::kNotMended, clipPath);
      problem.target = target;
      problem.rule = recorded->xxh128.empty()
                         ? RecordedBy(*recorded) + u" records it without an xxh128 to compare the clip with"
                         : RecordedBy(*recorded) + u" records other bytes there (xxh128 " +
                               platform::FromNativeName(recorded->xxh128) + u", this clip's " +
                               platform::FromNativeName(hash) + u")";
      return false;
    }
    error = Replace(clipPath, clipStatus, target, hash);
  }
  if (error) {
    problems_.Fail(intCopy ? report::Operation::kCopyToInt : report::Operation::kCopyToAdl, clipPath, target, error);
    return false;
  }
  problems_.Add(false, report::Operation::kMended, target).other = clipPath;
  result.error = {};
  result.written = true;
  result.replaced = true;
  result.hash = std::move(hash);
  return true;
}

std::error_code CopyMender::HashClip(const std::u16string& clipPath, const plan::PlannedClip& clip,
                                     platform::FileStatus& status, std::string& hash) {
  const auto unchanged = [&]() -> std::error_code {
    if (const std::error_code error = fs_.GetStatus(clipPath, status)) return error;
    const bool same = status.size == clip.size && status.modified == clip.modified;
    return same ? std::error_code() : std::error_code(platform::Errc::kSourceChanged);
  };
  if (const std::error_code error = unchanged()) return error;
  std::unique_ptr<platform::OpenFile> file;
  if (const std::error_code error = fs_.OpenForReading(clipPath, file)) return error;
  if (const std::error_code error = HashWholeFile(*file, buffer_, hash, nullptr, nullptr)) return error;
  return unchanged();
}

std::error_code CopyMender::Replace(const std::u16string& clipPath, const platform::FileStatus& clipStatus,
                                    const std::u16string& target, const std::string& hash) {
  const std::u16string folder = platform::FolderOf(target);
  const std::u16string temporary = fs_.NewTemporaryPath(folder);
  std::unique_ptr<platform::OpenFile> file;
  // The kernel's copy leaves nothing behind when it fails.
  if (const std::error_code error =
          fs_.CopyToNewFile(clipPath, temporary, [](std::uint64_t) { return true; }, file, nullptr)) {
    return error;
  }
  // On the disk, and read back from it, before it takes the damaged copy's place.
  std::error_code error = file->Flush();
  if (!error) {
    std::unique_ptr<platform::OpenFile> written;
    std::string writtenHash;
    error = fs_.OpenFromDisk(temporary, written);
    if (!error) error = HashWholeFile(*written, buffer_, writtenHash, nullptr, nullptr);
    if (!error && writtenHash != hash) error = platform::Errc::kCopyDiffers;
  }
  if (!error) error = file->TakeAttributes(clipStatus);
  // Closed before the move: Windows moves no file that is open without shared deletion.
  const std::error_code closed = file->Close();
  file.reset();
  if (!error) error = closed;
  if (!error) error = fs_.MoveReplacing(temporary, target);
  if (error) {
    (void)fs_.RemoveFile(temporary);  // ours; the damaged copy is as it was
    return error;
  }
  // The new name on the disk before the clip counts as collected.
  return fs_.FlushFolders({folder});
}

}  // namespace marlowin::pass

#include "collector/pass/Conclusion.h"

#include "history/MhlDate.h"
#include "platform/Errors.h"
#include "platform/NativeName.h"

namespace marlowin::pass {

std::u16string Conclusion::RecordedWhen(const std::u16string& path, std::size_t d) const {
  const recorder::RecordedCopy* recorded = plan_.Recorded(path, d);
  if (!recorded) return u"the history";
  return u"generation " + platform::FromNativeName(std::to_string(recorded->sequence)) + u" on " +
         platform::FromNativeName(history::FormatShownDate(recorded->recorded));
}

void Conclusion::Conclude(std::vector<CommittedClip> clips) {
  std::vector<CommittedClip*> proven;
  for (CommittedClip& clip : clips) {
    if (CheckCopies(clip)) proven.push_back(&clip);
  }
  if (proven.empty()) return;
  // The copies' records on the disk, in every destination, before any of their clips is marked.
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    recorder::PassHistory* history = Kept(d);
    if (!history) continue;
    if (const std::error_code error = history->Flush()) {
      for (const CommittedClip* clip : proven) {
        const plan::PlannedShot& shot = plan_.shots[clip->shot];
        problems_.Fail(report::Operation::kNotRecorded, plan_.ClipPath(shot, shot.clips[clip->clip]), history->Folder(),
                       error);
      }
      return;
    }
  }
  for (const CommittedClip* clip : proven) Mark(*clip);
}

bool Conclusion::CheckCopies(CommittedClip& clip) {
  const plan::PlannedShot& shot = plan_.shots[clip.shot];
  const plan::PlannedClip& planned = shot.clips[clip.clip];
  const std::u16string path = plan_.ClipPath(shot, planned);
  bool stopped = false;
  bool failed = clip.failed;
  const auto check = [&](std::size_t d, CopyResult& result, const std::u16string& target, report::Operation operation,
                         const plan::PlannedCopy& copy) {
    if (!result.handed) return;
    if (mender_ && d == 0 && result.error == platform::Errc::kCopyDiffers && !result.written &&
        !mender_->Mend(path, planned, target, operation == report::Operation::kCopyToInt, result)) {
      failed = true;  // the mender said why
      return;
    }
    if (result.error == platform::Errc::kCancelled) {
      stopped = true;  // not a failure: the person stopped the pass before its proof
    } else if (result.error == platform::Errc::kCopyDiffers && !result.written && copy.overRecorded) {
      // The copy in place is the one the history records, and not this clip's: it stays.
      report::Problem& problem = problems_.FailClip(report::Operation::kRecordedCopy, path);
      problem.target = target;
      problem.rule = u"holds another clip's copy, recorded by " + RecordedWhen(target, d) + u": the clip keeps its name";
      failed = true;
    } else if (result.error) {
      problems_.Fail(operation, path, target, result.error);
      failed = true;
    } else {
      const bool backup = d > 0;
      if (result.replaced) {
        ++report_.copiesReplaced;
        report_.bytesWritten += planned.size;
      } else if (result.written) {
        ++(backup ? report_.backup.copiesWritten : report_.copiesWritten);
        (backup ? report_.backup.bytesWritten : report_.bytesWritten) += planned.size;
      } else {
        ++(backup ? report_.backup.copiesProven : report_.copiesProven);
      }
      if (operation == report::Operation::kCopyToAdl && clip.tag != kNoRecord && d == 0) {
        report_.clips[clip.tag].hash = result.hash;
      }
      // A copy that a later clip of the pass replaces is not this clip's to record.
      if (planned.loses == plan::kNoIndex || plan_.problems[planned.loses].target != target) {
        Record(d, {target, planned.size, planned.modified, result.hash, result.written, verify_,
                   result.written || !plan_.Recorded(target, d), platform::Now()});
      }
    }
  };
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    check(d, clip.adl[d], plan_.AdlTarget(shot, planned, d), report::Operation::kCopyToAdl, planned.adl[d]);
    if (planned.hasIntCopy) {
      check(d, clip.intCopy[d], plan_.IntTarget(shot, planned, d), report::Operation::kCopyToInt, planned.intCopy[d]);
    }
  }
  // Every destination's copies, or no mark: a clip whose copy in one was never made (its
  // destination failed before it) is not collected.
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    if (!clip.adl[d].handed && planned.adl[d].action != plan::CopyAction::kInPlace) failed = true;
  }
  return !failed && !stopped;
}

void Conclusion::Mark(const CommittedClip& clip) {
  const plan::PlannedShot& shot = plan_.shots[clip.shot];
  const plan::PlannedClip& planned = shot.clips[clip.clip];
  const std::u16string path = plan_.ClipPath(shot, planned);
  if (planned.loses != plan::kNoIndex) {
    problems_.Tell(plan_.problems[planned.loses]);
    return;
  }
  if (!planned.marked) {
    const std::u16string newPath = plan_.MarkedPath(shot, planned);
    if (const std::error_code changed = Changed(path, planned)) {
      problems_.Fail(report::Operation::kMark, path, newPath, changed);
      return;
    }
    const std::error_code error = fs_.RenameNoReplace(path, newPath);
    if (error == std::errc::file_exists) {
      problems_.Add(false, report::Operation::kKeptName, path).target = newPath;
    } else if (error) {
      problems_.Fail(report::Operation::kMark, path, newPath, error);
      return;
    } else {
      ++report_.clipsMarked;
      if (clip.tag != kNoRecord) report_.clips[clip.tag].markedAs = newPath;
    }
  }
  ++report_.clipsCollected;
  bool written = false;
  bool handed = false;
  for (std::size_t d = 0; d < plan_.destinations.size(); ++d) {
    written = written || clip.adl[d].written || clip.intCopy[d].written;
    handed = handed || clip.adl[d].handed || clip.intCopy[d].handed;
  }
  if (written) {
    ++report_.clipsCopied;
  } else if (handed) {
    ++report_.clipsProven;
  } else {
    ++report_.clipsAlready;
  }
  ++collectedInShot_[clip.shot];
  if (clip.tag != kNoRecord) report_.clips[clip.tag].collected = true;
}

// Whether the clip is no longer the file its copies were made from: another size, time or file
// (where its file system keeps a file's id). A camera still writing, a card swapped.
std::error_code Conclusion::Changed(const std::u16string& path, const plan::PlannedClip& planned) {
  platform::FileStatus now;
  if (const std::error_code error = fs_.GetStatus(path, now)) return error;
  const bool same = now.size == planned.size && now.modified == planned.modified &&
                    (!plan_.stableClipIds || (now.volume == planned.volume && now.fileId == planned.fileId));
  return same ? std::error_code() : std::error_code(platform::Errc::kClipChanged);
}

// A copy for the history; one whose name XML cannot hold is left out of it, and said so.
void Conclusion::Record(std::size_t d, const recorder::LoggedCopy& copy) {
  recorder::PassHistory* history = Kept(d);
  if (!history) return;
  if (history->Add(copy) == history::HistoryErrc::kNotXmlText) {
    problems_.Add(false, report::Operation::kNameNotRecorded, copy.path);
  }
}

}  // namespace marlowin::pass

#pragma once

// Room recorder (marlowin::recorder): the pass's side of the destination's history, beside
// history/ (the documents): the copies a pass records, spooled and written as one generation, and
// the copies the history records already. Uses history/ and platform/ only.
//

// What a pass adds to the ASC MHL history of its destination folder (D/ascmhl/): one new
// generation listing every copy the pass wrote or proved, and its entry in the chain file.
//
// At its start the pass reads the history (the copies it records protect themselves: see
// RecordedCopies), after it has turned what a stopped pass left (its spool) into that pass's own
// generation. Copies go to the spool as they are concluded, and each batch's are flushed to the
// disk before its clips are marked: a clip carries its mark only once its copies are recorded. At
// the end the generation and the new chain are each written under a temporary name and flushed,
// then the generation is put in place, then the chain, then the spool goes: a pass stopped at any
// moment leaves the history it found, or the history with the new generation, and in either case
// its copies recorded. A history that cannot be read is left exactly as it is.
#include <map>
#include <string>
#include <vector>

#include "recorder/CopyLog.h"
#include "recorder/HistorySpool.h"
#include "recorder/RecordedCopies.h"
#include "history/Chain.h"
#include "history/Failure.h"
#include "platform/FileSystem.h"

namespace marlowin::recorder {

class PassHistory final : public CopyLog {
 public:
  // `readBack`: the pass reads its copies back (else the generation says they were not).
  PassHistory(platform::FileSystem& fs, std::u16string destination, platform::FileTime started, bool readBack);

  // At the pass's start, before anything is written: the history read into `recorded`, with
  // `keep` after a stopped pass's spool became its generation and other leftovers went. A
  // failure: no history that can be read (none at all is no failure), so none is protected or
  // added to; `recoveredGenerations` counts those written from spools.
  [[nodiscard]] history::Failure Open(bool keep, RecordedCopies& recorded);
  std::size_t RecoveredGenerations() const { return recovered_; }

  std::error_code Add(const LoggedCopy& copy) override;
  std::error_code Remove(const std::u16string& path) override;
  // What was added so far, on the disk: the copies' clips may be marked. A failure latches.
  [[nodiscard]] std::error_code Flush();

  // Adds the generation when the pass recorded any copy. A failure says why the history was not
  // updated; the history is then as it was, and a spool that holds copies stays for the next
  // pass (SpoolKept()).
  [[nodiscard]] history::Failure Finish();
  bool SpoolKept() const { return spoolKept_; }

  // Said in this pass's generation: where the other destination of the pass lies.
  void SetSibling(std::u16string sibling) { sibling_ = std::move(sibling); }

  // The history folder, for what is said about it.
  const std::u16string& Folder() const { return folder_; }

 private:
  history::Failure ReadChain();
  // The chain file, written under a temporary name and put in place.
  history::Failure PutChain(const history::Chain& chain);
  history::Failure Recover(const std::u16string& path);
  history::Failure WriteGeneration(HistorySpool& spool, bool& written);
  bool AlreadyWritten(const SpoolHeader& header);

  platform::FileSystem& fs_;
  std::u16string destination_;
  std::u16string folder_;
  std::u16string sibling_;
  SpoolHeader header_;
  HistorySpool spool_;
  bool keep_ = false;
  bool madeFolder_ = false;
  bool spoolKept_ = false;
  bool folderFlushed_ = false;   // the spool's name is on the disk
  std::size_t recovered_ = 0;
  std::error_code failed_;       // the first failure of the spool: nothing more is recorded
  // The history folder as read at the start and as this pass changes it.
  history::Chain chain_;
  bool hasChain_ = false;
  bool chainBehind_ = false;     // generations in place that the chain file does not list yet
  std::vector<std::u16string> names_;
  std::map<std::uint64_t, std::pair<platform::FileTime, std::string>> created_;  // by sequence: date, host
};

}  // namespace marlowin::recorder

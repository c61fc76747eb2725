#pragma once

// Work for the progress window: a real pass over a shoot of 5 GiB, five clips of 1 GiB that
// take no room (sparse files), from S into D of a temporary tree.
#include "collector/pass/CollectClips.h"
#include "platform/FileSystem.h"
#include "tests/support/TempTree.h"

namespace marlowin::testing {

struct SparseShootPass {
  SparseShootPass() {
    for (const char16_t* name : {u"v01.mp4", u"v02.mp4", u"v03.mp4", u"v04.mp4", u"v05.mp4"})
      tree.WriteSparseFile(std::u16string(u"S/harbour_dawn_wide/MP4 HIGH RES/") + name, 1ull << 30);
    tree.MakeFolder(u"D");
  }

  void operator()(report::PassObserver& observer) {
    const auto fs = platform::MakeRealFileSystem();
    pass::PassOptions options;
    options.observer = &observer;
    report = pass::CollectClips(*fs, tree.Path(u"S"), tree.Path(u"D"), options);
  }

  TempTree tree;
  report::PassReport report;
};

}  // namespace marlowin::testing

#pragma once

// The fixture of every test that runs passes over a shoot: a temporary tree with its shoot (S, D)
// and the recording file system the passes run through. A pass whose plan it checks makes exactly
// the changes its dry run prints, in the same order, when nothing fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collector/pass/CollectClips.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin::testing {

class PassFixture : public ::testing::Test {
 protected:
  PassFixture() : shoot(tree), recorder(tree.Root()) {}

  // Clips of a shot folder, each holding its shot's and its own name.
  void AddClips(std::u16string_view shot, std::initializer_list<std::u16string_view> names) { shoot.Clips(shot, names); }

  // The pass from S to D through the recorder, its changes held to its dry run's.
  report::PassReport Pass(const pass::PassOptions& options = {}) { return Pass(tree.Path(u"S"), tree.Path(u"D"), options); }
  report::PassReport Pass(const std::u16string& start, const std::u16string& destination,
                          const pass::PassOptions& options = {});
  // The pass on the real file system, nothing checked.
  report::PassReport PassPlainly(const pass::PassOptions& options = {});

  // The problems of a report as a person reads them, failures first, with the tree's root as
  // "<root>" and "/" for the separator: "failure: <root>/S/...: not copied to ...".
  std::vector<std::string> Problems(const report::PassReport& report) const;

  TempTree tree;
  Shoot shoot;
  RecordingFileSystem recorder;
};

}  // namespace marlowin::testing

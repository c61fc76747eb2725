#pragma once

// What the tests of marlowin-collect start from: a shoot folder S/ab_cd_ef with three clips, an
// empty destination D, and the command run on them through a recording file system.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/CollectCommand.h"
#include "platform/NativeName.h"
#include "tests/support/RecordingFileSystem.h"
#include "tests/support/Shoot.h"
#include "tests/support/TempTree.h"

namespace marlowin::testing {

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

class CommandFixture : public ::testing::Test {
 protected:
  CommandFixture() : recorder(tree.Root()) {
    const testing::Shoot shoot(tree);
    for (const char* name : {"v01.mp4", "v02.mp4", "v03.mp4"}) shoot.Clip(u"ab_cd_ef", U16(name), name);
  }

  CommandResult Run(std::vector<std::u16string> arguments) {
    std::ostringstream out, err;
    const int status = RunCollectCommand(arguments, recorder, out, err);
    return {status, out.str(), err.str()};
  }
  std::string Native(std::u16string_view relative) { return platform::ToDisplay(tree.Path(relative)); }

  TempTree tree;
  RecordingFileSystem recorder;
};

}  // namespace marlowin::testing

// write-test-history FOLDER: records every file of FOLDER's adl and int folders, as they are
// now, in a new generation of FOLDER's history, for measuring the check where no pass writes
// one.
#include <iostream>

#include "history/Failure.h"
#include "platform/NativeName.h"
#include "platform/Files.h"
#include "tests/support/TreeHistory.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write-test-history FOLDER\n";
    return 2;
  }
  const marlowin::history::Failure failure =
      marlowin::testing::RecordCollectedFiles(marlowin::platform::FromNativeName(argv[1]), marlowin::platform::Now().seconds);
  if (failure) {
    std::cerr << "write-test-history: " << marlowin::history::Describe(failure) << "\n";
    return 1;
  }
  return 0;
}

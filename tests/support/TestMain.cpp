#include <gtest/gtest.h>

#include "tests/support/TempTree.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const marlowin::testing::TemporaryRecords records;  // the reports of passes go there
  return RUN_ALL_TESTS();
}

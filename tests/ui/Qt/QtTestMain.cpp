#include <QApplication>

#include <gtest/gtest.h>

#include "tests/support/TempTree.h"

// The dialogs under test need Qt's application object for the whole run.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  const marlowin::testing::TemporaryRecords records;  // the reports of passes go there
  return RUN_ALL_TESTS();
}

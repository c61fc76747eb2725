#include <QApplication>

#include <gtest/gtest.h>

// The dialogs under test need Qt's application object for the whole run.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

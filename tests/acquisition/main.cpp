// Test main with a QCoreApplication, so that signals emitted from worker threads can be
// received through queued connections (QSignalSpy::wait runs the event loop).

#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

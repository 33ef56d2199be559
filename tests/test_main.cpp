// The test program: one QApplication for every test (forms need it), on the offscreen platform.

#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {
QtMessageHandler gDefaultHandler = nullptr;

// The offscreen platform says at every window what it cannot do; that is noise in a test log.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  if (gDefaultHandler) gDefaultHandler(type, context, message);
}
}  // namespace

int main(int argc, char** argv) {
  gDefaultHandler = qInstallMessageHandler(QuietHandler);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

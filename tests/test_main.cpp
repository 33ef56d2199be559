// The test program: one QApplication for every test (forms need it), on the offscreen platform.

#include <QApplication>

#include <cstdlib>

#include <unistd.h>

#include <gtest/gtest.h>

#include "app/window_handlers.h"

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
  // The host's interface settings come from an empty folder, not from whoever runs the tests.
  char settingsFolder[] = "/tmp/brisel-tests-XXXXXX";
  if (mkdtemp(settingsFolder)) setenv("XDG_CONFIG_HOME", settingsFolder, 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  brisel::app::WireWindowHandlers();
  const int result = RUN_ALL_TESTS();
  rmdir(settingsFolder);
  return result;
}

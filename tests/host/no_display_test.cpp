// Without a display (over ssh): one line and status 1 instead of Qt's abort; what needs no window still works.

#include <QProcess>

#include <gtest/gtest.h>

namespace brisel::testing {
namespace {

TEST(NoDisplay, StartingSaysSoInOneLineWhileTheTerminalOptionsWork) {
  struct Case {
    QStringList arguments;
    QString display, wayland, qpa;  // DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM; empty: unset
    int status;
    QString says;
  };
  const QString opening = "brisel: Brisel cannot open its windows: ";
  const Case cases[] = {
      {{"pic.png"}, "", "", "", 1,
       opening + "no graphical display is named here (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"},
      {{}, ":97", "", "", 1, opening + "the X display \":97\" (DISPLAY) cannot be reached.\n"},
      {{}, ":97", "", "xcb", 1, opening + "the X display \":97\" (DISPLAY) cannot be reached.\n"},
      {{}, "", "/nonexistent/wayland-9", "", 1,
       opening + "the Wayland compositor \"/nonexistent/wayland-9\" (WAYLAND_DISPLAY) cannot be reached.\n"},
      {{}, ":97", "/nonexistent/wayland-9", "", 1,
       opening + "the Wayland compositor \"/nonexistent/wayland-9\" (WAYLAND_DISPLAY) cannot be reached. Nor can "
                 "X11 serve: the X display \":97\" (DISPLAY) cannot be reached.\n"},
      {{"--version"}, "", "", "", 0, ""},
      {{"--recover"}, "", "", "", 0, ""},
  };
  for (const Case& c : cases) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) environment.remove(name);
    if (!c.display.isEmpty()) environment.insert("DISPLAY", c.display);
    if (!c.wayland.isEmpty()) environment.insert("WAYLAND_DISPLAY", c.wayland);
    if (!c.qpa.isEmpty()) environment.insert("QT_QPA_PLATFORM", c.qpa);
    environment.insert("XDG_STATE_HOME", "/nonexistent");  // --recover: no copies listed from the user's own
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(BRISEL_BINARY, c.arguments);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(process.exitCode(), c.status) << c.arguments.join(' ').toStdString();
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), c.says) << c.arguments.join(' ').toStdString();
  }
}

}  // namespace
}  // namespace brisel::testing

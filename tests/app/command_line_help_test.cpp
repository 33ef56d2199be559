// The command line is answered before any screen is needed: --help and --version in a terminal without a
// display, and a mistake in one line with exit status 2, as other commands do.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "app/keys.h"

namespace brisel::testing {
namespace {

struct Answer {
  int exitCode;
  QString out, errors;
};

Answer WithoutDisplay(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
  process.setProcessEnvironment(environment);
  process.start(BRISEL_BINARY, arguments);
  process.waitForFinished(30000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

TEST(CommandLine, AnswersWithoutDisplayAndRefusesMistakesInOneLine) {
  const Answer help = WithoutDisplay({"--help"});
  EXPECT_EQ(help.exitCode, 0) << help.errors.toStdString();
  for (const char* told : {"--paper", "--wallpaper", "--recover", "Shift+Ctrl", "Undo", "IMAGE~", "recovery/",
                           "tarnwick.conf"})
    EXPECT_TRUE(help.out.contains(told)) << told << " missing in:\n" << help.out.toStdString();
  EXPECT_TRUE(WithoutDisplay({"--version"}).out.startsWith("brisel "));

  for (const QStringList& wrong : {QStringList{"--no-such-option"}, QStringList{"-x", "picture.png"},
                                   QStringList{"picture.png", "--paper"}}) {
    const Answer refused = WithoutDisplay(wrong);
    EXPECT_EQ(refused.exitCode, 2) << wrong.join(' ').toStdString();
    EXPECT_EQ(refused.errors.count('\n'), 1) << refused.errors.toStdString();
    EXPECT_TRUE(refused.errors.startsWith("brisel: ")) << refused.errors.toStdString();
  }
  // Qt's own options for graphical programs pass the first reading: here the platform is named, so the
  // program goes on to its picture (which is missing: exit status 1, not 2).
  EXPECT_EQ(WithoutDisplay({"-platform", "offscreen", "no-such-picture.png"}).exitCode, 1);
}

// --help, the manual page and the "Keys and mouse" window (which shows the table itself) name the same keys:
// every row of the table, its name and what it does, in --help's columns and as the page's tagged paragraph.
TEST(CommandLine, HelpAndTheManualPageListEveryKeyOfTheTable) {
  const QString help = WithoutDisplay({"--help"}).out;
  QFile page(QStringLiteral(BRISEL_SAMPLES_DIR "/../packaging/brisel.1.in"));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString manual = QString::fromUtf8(page.readAll());
  const QString keys = manual.section(".SH MOUSE AND KEYS", 1).section(".SH ", 0, 0);
  for (const Keys::Key& key : Keys::All()) {
    const QString name = QString::fromUtf8(key.name), does = QString::fromUtf8(key.does);
    EXPECT_TRUE(help.contains(QRegularExpression("\\n  " + QRegularExpression::escape(name) + " +" +
                                                 QRegularExpression::escape(does) + "\\n")))
        << key.name << " missing in --help";
    QString roffName = name, roffDoes = does;
    roffName.replace('-', "\\-"), roffDoes.replace('-', "\\-");
    EXPECT_TRUE(keys.contains(".TP\n.B " + roffName + "\n" + roffDoes + ".\n")) << key.name << " missing in brisel.1";
  }
}

}  // namespace
}  // namespace brisel::testing

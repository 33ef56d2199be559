// The program itself on bad command lines and bad pictures: one line on standard error, a non-zero exit,
// nothing written, no crash.

#include <QDir>
#include <QImage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace brisel::testing {
namespace {

struct Outcome {
  int exitCode;
  QProcess::ExitStatus status;
  QString errors;
};

Outcome Brisel(const QStringList& arguments, const QString& folder) {
  QProcess process;
  process.setWorkingDirectory(folder);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  process.setProcessEnvironment(environment);
  process.start(BRISEL_BINARY, arguments);
  process.waitForFinished(30000);
  return {process.exitCode(), process.exitStatus(), QString::fromUtf8(process.readAllStandardError())};
}

TEST(CommandLine, BadPicturesEndStartUpWithOneLineAndWriteNothing) {
  QTemporaryDir folder;
  const QDir dir(folder.path());
  QFile(dir.filePath("empty.png")).open(QIODevice::WriteOnly);
  QFile text(dir.filePath("text.png"));
  text.open(QIODevice::WriteOnly);
  text.write("not a picture at all\n");
  text.close();
  dir.mkdir("folder.png");
  const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

  for (const char* name : {"empty.png", "text.png", "folder.png", "missing.png"}) {
    const Outcome run = Brisel({dir.filePath(name)}, folder.path());
    EXPECT_EQ(run.status, QProcess::NormalExit) << name;  // no crash
    EXPECT_EQ(run.exitCode, 1) << name;
    const QStringList lines = run.errors.split('\n', Qt::SkipEmptyParts).filter("brisel:");
    EXPECT_EQ(lines.size(), 1) << name << ": " << run.errors.toStdString();
    EXPECT_TRUE(lines.value(0).contains(name)) << run.errors.toStdString();
  }
  EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);

  // A bad wallpaper only warns: the program then runs (and is stopped here after its start). A FIFO is
  // never opened, which would wait for a writer before any window shows.
  QImage(4, 4, QImage::Format_RGB32).save(dir.filePath("ok.png"));
  ASSERT_EQ(mkfifo(dir.filePath("fifo.png").toLocal8Bit().constData(), 0600), 0);
  for (const char* name : {"text.png", "fifo.png"}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(BRISEL_BINARY, {"--wallpaper", dir.filePath(name), dir.filePath("ok.png")});
    ASSERT_TRUE(process.waitForStarted());
    EXPECT_FALSE(process.waitForFinished(1500));  // still running: the picture opened
    process.kill();
    process.waitForFinished();
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(errors.split('\n', Qt::SkipEmptyParts).filter("warning").size(), 1) << name << ": " << errors.toStdString();
    EXPECT_TRUE(errors.contains(name)) << errors.toStdString();
  }

  const Outcome twoPictures = Brisel({"a.png", "b.png"}, folder.path());
  EXPECT_EQ(twoPictures.exitCode, 2);
  EXPECT_EQ(Brisel({"--version"}, folder.path()).exitCode, 0);
}

}  // namespace
}  // namespace brisel::testing

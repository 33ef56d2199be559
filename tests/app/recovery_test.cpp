// Recovery copies: every way out keeps the painting (a termination signal, a kill -9 after an autosave, a send
// at close that fails, a fatal report), and the next start on the picture gives it back exactly.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/canvas_stroke.h"
#include "app/recovery.h"
#include "app/reset_state.h"
#include "canvas/changed_box.h"
#include "canvas/undo.h"
#include "file/file_host.h"
#include "host/picture_fixture.h"
#include "link/host_link.h"
#include "platform/lifecycle.h"
#include "platform/qt/form_impl.h"
#include "platform/recovery_copies.h"
#include "support/app_fixture.h"
#include "support/scoped_env.h"

namespace brisel::testing {
namespace {

using ::testing::HasSubstr;

// Pixel (x, y) is (7x + y, 3x + 5y, x ^ 3y): no two channels alike, so a swap or a shift shows.
QImage Pattern(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y, qRgb((7 * x + y) & 255, (3 * x + 5 * y) & 255, (x ^ (3 * y)) & 255));
  return image;
}

Planes Image() { return {PlaneR, PlaneG, PlaneB}; }

filehost::FileHostOptions OptionsFor(const std::string& picture) {
  filehost::FileHostOptions options;
  options.imagePath = picture;
  return options;
}

Planes CopyAt(const std::string& path) {
  Planes p;
  EXPECT_TRUE(platform::ReadRecoveryCopy(path, p.r, p.g, p.b)) << path;
  return p;
}

// Whether the process has a handler for the signal (Linux: the SigCgt mask of /proc/PID/status).
bool Catches(qint64 pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
  return false;
}

// Whether the process ignores the signal (the SigIgn mask).
bool Ignores(qint64 pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigIgn:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
  return false;
}

template <class Condition>
bool WaitFor(Condition condition, int milliseconds = 20000) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    QThread::msleep(20);
  }
  return condition();
}

// ---- a kill -9 after an autosave, then a new start --------------------------------------------------

// Delivers a mouse event to the canvas's client area as the window system would.
void Send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
  QWidget* client = Form1Window().impl().client;
  QMouseEvent event(type, at, client->mapToGlobal(at), button, held, Qt::NoModifier);
  QApplication::sendEvent(client, &event);
}

// Run by the test below in a process of its own (this test program again): starts the program on the
// picture as brisel PICTURE does, with the autosave interval from the settings, paints a stroke, puts the planes it then holds
// beside the picture, and goes on until it is killed.
TEST(RecoveryChild, DISABLED_PaintsUntilKilled) {
  const char* picture = std::getenv("BRISEL_CHILD_PICTURE");
  if (!picture) GTEST_SKIP() << "run by RecoveryAfterKill only";
  // Killed, this process never clears the test program's empty settings folder: that is done here.
  rmdir(std::getenv("XDG_CONFIG_HOME"));
  setenv("XDG_CONFIG_HOME", std::getenv("BRISEL_CHILD_CONFIG"), 1);
  app::ResetProgramState();
  filehost::RegisterFileHost(OptionsFor(picture));
  if (!app::ClaimPictureOrAsk(picture)) return;
  app::Main();
  app::StartRecovery(picture, app::AutosaveSeconds());
  PaintRed = 250, PaintGreen = 20, PaintBlue = 40;
  BrushSize = 3;
  Send(QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton);
  for (float x : {9.0f, 13.0f, 17.0f, 21.0f, 25.0f})
    Send(QEvent::MouseMove, {x, x / 2 + 4}, Qt::NoButton, Qt::LeftButton);
  Send(QEvent::MouseButtonRelease, {29, 18}, Qt::LeftButton, Qt::NoButton);
  {
    std::ofstream painted(std::string(picture) + ".painted.part", std::ios::binary);
    for (const BytePlane* p : {&PlaneR, &PlaneG, &PlaneB})
      painted.write(reinterpret_cast<const char*>(p->data()), std::streamsize(p->size()));
  }
  std::rename((std::string(picture) + ".painted.part").c_str(), (std::string(picture) + ".painted").c_str());
  for (;;) {
    platform::ProcessEvents();
    QThread::msleep(5);
  }
}

// Starts the test above in a process of its own, painting on picture; its settings from configFolder; on
// the X display given, else off screen.
void StartPaintingChild(QProcess& child, const QString& picture, const QString& stateFolder, const QString& configFolder,
                        const QString& display = QString()) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", display.isEmpty() ? "offscreen" : "xcb");
  if (!display.isEmpty()) environment.insert("DISPLAY", display);
  environment.insert("XDG_STATE_HOME", stateFolder);
  environment.insert("BRISEL_CHILD_CONFIG", configFolder);
  environment.insert("BRISEL_CHILD_PICTURE", picture);
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_also_run_disabled_tests", "--gtest_filter=RecoveryChild.DISABLED_PaintsUntilKilled"});
}

// The planes the painting child put beside the picture, once it has painted.
std::optional<Planes> PaintedBy(const std::string& picture, int32_t width, int32_t height) {
  Planes painted{BytePlane(width, height), BytePlane(width, height), BytePlane(width, height)};
  std::ifstream dump(picture + ".painted", std::ios::binary);
  for (BytePlane* p : {&painted.r, &painted.g, &painted.b}) dump.read(reinterpret_cast<char*>(p->data()), p->size());
  if (!dump) return std::nullopt;
  return painted;
}

// ---- the ways out ---------------------------------------------------------------------------------------

// An X server of the test's own; stopped with the object.
struct XServer {
  QProcess process;
  QString display;
  bool Start() {
    process.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
    if (!process.waitForStarted(10000)) return false;
    for (QByteArray number; process.waitForReadyRead(10000);) {
      number += process.readAllStandardOutput();
      if (number.endsWith('\n')) {
        display = ":" + QString::fromLatin1(number.trimmed());
        return true;
      }
    }
    return false;
  }
  ~XServer() {
    process.kill();
    process.waitForFinished();
  }
};

// Every way out of a painting run keeps the painting as a copy of its picture, which names it on standard
// error and which --recover lists: the termination signals (the run then ends by the signal itself, as the
// sender expects) and the X server going away under it. A picture not painted on is the painting, and no
// copy is written for it.
TEST(RecoveryProcess, EveryWayOutKeepsThePaintingAsACopyThatRecoverLists) {
  QTemporaryDir folder;
  const QString picture = folder.filePath("picture.png");
  ASSERT_TRUE(Pattern(37, 23).save(picture));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_STATE_HOME", folder.filePath("state"));
  environment.insert("XDG_CONFIG_HOME", folder.filePath("config"));
  ScopedEnv state("XDG_STATE_HOME", folder.filePath("state").toStdString());
  const rlimit noCore{0, 0};  // SIGQUIT would leave a core behind
  ASSERT_EQ(setrlimit(RLIMIT_CORE, &noCore), 0);

  QProcess unpainted;
  unpainted.setProcessEnvironment(environment);
  unpainted.start(BRISEL_BINARY, {picture});
  ASSERT_TRUE(WaitFor([&] { return Catches(unpainted.processId(), SIGINT); })) << "never ready for the signal";
  EXPECT_TRUE(Ignores(unpainted.processId(), SIGXFSZ)) << "a write past ulimit -f would end it, copy unwritten";
  ::kill(pid_t(unpainted.processId()), SIGINT);
  ASSERT_TRUE(unpainted.waitForFinished(20000));
  EXPECT_EQ(unpainted.exitStatus(), QProcess::CrashExit) << "ends by the signal itself";
  EXPECT_TRUE(platform::ListRecoveryCopies().empty());

  // Started with SIGHUP ignored (nohup), it leaves it ignored.
  QProcess underNohup;
  underNohup.setProcessEnvironment(environment);
  underNohup.start("sh", {"-c", "trap '' HUP; exec \"$0\" \"$1\"", BRISEL_BINARY, picture});
  ASSERT_TRUE(WaitFor([&] { return Catches(underNohup.processId(), SIGTERM); })) << "never ready for the signal";
  EXPECT_TRUE(Ignores(underNohup.processId(), SIGHUP) && !Catches(underNohup.processId(), SIGHUP));
  ::kill(pid_t(underNohup.processId()), SIGTERM);
  ASSERT_TRUE(underNohup.waitForFinished(20000));

  constexpr int kDisplayGone = 0;
  for (const int way : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, kDisplayGone}) {
    SCOPED_TRACE(way == kDisplayGone ? "the X server gone" : platform::SignalName(way));
    XServer x;
    if (way == kDisplayGone && !x.Start()) {
      std::fprintf(stderr, "no Xvfb: the lost display is not tried\n");
      break;
    }
    QFile::remove(picture + ".painted");
    for (const platform::RecoveryCopy& copy : platform::ListRecoveryCopies()) QFile::remove(QString::fromStdString(copy.path));
    QProcess child;
    StartPaintingChild(child, picture, folder.filePath("state"), folder.filePath("config"), x.display);
    std::optional<Planes> painted;
    ASSERT_TRUE(WaitFor([&] {
      return (painted = PaintedBy(picture.toStdString(), 37, 23)) && Catches(child.processId(), SIGTERM);
    })) << "never painted and ready";
    if (way == kDisplayGone) x.process.kill();
    else ::kill(pid_t(child.processId()), way);
    ASSERT_TRUE(child.waitForFinished(20000));
    if (way == kDisplayGone) {
      EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(child.exitCode(), 1);
    } else {
      EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "ends by the signal itself";
    }
    const QString errors = QString::fromUtf8(child.readAllStandardError());

    const std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies();
    ASSERT_EQ(copies.size(), 1u) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromStdString(copies[0].path))) << errors.toStdString();
    EXPECT_EQ(copies[0].picture, picture.toStdString());
    EXPECT_FALSE(platform::StillRunning(copies[0].writer)) << "offered as lost work at the next start";
    EXPECT_EQ(CopyAt(copies[0].path), *painted);
  }
  // The last way's copy stays, for --recover to list.

  QProcess lister;
  lister.setProcessEnvironment(environment);
  lister.start(BRISEL_BINARY, {"--recover"});
  ASSERT_TRUE(lister.waitForFinished(20000));
  EXPECT_EQ(lister.exitCode(), 0);
  const QString listing = QString::fromUtf8(lister.readAllStandardOutput());
  ASSERT_FALSE(platform::ListRecoveryCopies().empty());
  EXPECT_TRUE(listing.contains(QString::fromStdString(platform::ListRecoveryCopies().at(0).path))) << listing.toStdString();
  EXPECT_TRUE(listing.contains(picture)) << listing.toStdString();
}

class RecoveryAfterKill : public AppTest {
 protected:
  void TearDown() override {
    app::StopRecovery();
    AppTest::TearDown();
  }
  // The program's start on picture, as brisel PICTURE starts it.
  void StartOn(const std::string& picture) {
    app::ResetProgramState();
    DestroyWindows();
    messages.clear();
    filehost::RegisterFileHost(OptionsFor(picture));
    app::Main();
    app::StartRecovery(picture, 0);
  }
  QTemporaryDir folder;
  ScopedEnv state{"XDG_STATE_HOME", folder.filePath("state").toStdString()};
};

TEST_F(RecoveryAfterKill, AnAutosavedCopyOutlivesKillNineAndComesBackOverAnotherProgramsEdit) {
  const std::string picture = folder.filePath("picture.png").toStdString();
  ASSERT_TRUE(Pattern(40, 30).save(QString::fromStdString(picture)));
  const Planes original = PlanesOf(QImage(QString::fromStdString(picture)));
  QDir(folder.path()).mkpath("config/tarnwick");
  QFile settings(folder.filePath("config/tarnwick/tarnwick.conf"));
  ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
  settings.write("[Startup]\nAutosave_Seconds=1\n");
  settings.close();

  QProcess child;
  StartPaintingChild(child, QString::fromStdString(picture), folder.filePath("state"), folder.filePath("config"));
  ASSERT_TRUE(child.waitForStarted());
  const bool saved = WaitFor([&] { return !platform::ListRecoveryCopies().empty(); });

  // A second run while the first paints: asked first (No ends it), and, opened anyway, never offered the
  // copy that the first keeps up to date.
  const std::string alreadyOpen = "Brisel|picture.png is already open in Brisel (process " +
                                  std::to_string(child.processId()) + "). Open it anyway?";
  if (saved) {
    answer = platform::MessageBoxAnswer::No;
    EXPECT_FALSE(app::ClaimPictureOrAsk(picture));
    answer = platform::MessageBoxAnswer::Yes;
    EXPECT_TRUE(app::ClaimPictureOrAsk(picture));
    EXPECT_THAT(messages, ::testing::ElementsAre(alreadyOpen, alreadyOpen));
    StartOn(picture);
    EXPECT_TRUE(messages.empty()) << messages[0];
    app::StopRecovery();
  }
  ::kill(pid_t(child.processId()), SIGKILL);
  child.waitForFinished();
  ASSERT_TRUE(saved) << child.readAllStandardOutput().toStdString() << child.readAllStandardError().toStdString();
  messages.clear();
  EXPECT_TRUE(app::ClaimPictureOrAsk(picture)) << "the killed run let the picture go";
  EXPECT_TRUE(messages.empty());
  platform::ReleasePicture();

  const std::string childCopy = platform::ListRecoveryCopies().at(0).path;
  const std::optional<Planes> paintedByChild = PaintedBy(picture, 40, 30);
  ASSERT_TRUE(paintedByChild) << "the child put its planes beside the picture";
  const Planes painted = *paintedByChild;
  ASSERT_NE(painted, original) << "the child painted";

  // Another program changed the picture meanwhile: a pixel the stroke never touched, and one it painted.
  QImage edited = Pattern(40, 30);
  int paintedAt = 0;
  while (painted.r.data()[paintedAt] == original.r.data()[paintedAt]) ++paintedAt;
  const QPoint outside(38, 1), inside(paintedAt % 40, paintedAt / 40);
  ASSERT_EQ(painted.r(outside.x(), outside.y()), original.r(outside.x(), outside.y()));
  for (const QPoint at : {outside, inside}) edited.setPixel(at, qRgb(1, 2, 3));
  ASSERT_TRUE(edited.save(QString::fromStdString(picture)));
  Planes restored = painted;  // the painting wins where it painted, the edit everywhere else
  restored.r(38, 1) = 1, restored.g(38, 1) = 2, restored.b(38, 1) = 3;

  // No: the picture as it is, and the copy kept for later.
  answer = platform::MessageBoxAnswer::No;
  StartOn(picture);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("A recovery copy from "));
  EXPECT_THAT(messages[0], HasSubstr("exists. Restore it?"));
  EXPECT_THAT(messages[0], HasSubstr("The picture was changed since the copy's painting began: restoring the copy "
                                     "brings back only the pixels it painted"));
  EXPECT_EQ(Image(), PlanesOf(edited));
  ASSERT_EQ(platform::ListRecoveryCopies().size(), 1u);
  app::StopRecovery();

  // Yes: the painting, as unsent changes one undo step away from the picture, the edit kept where the
  // painting did not touch it.
  answer = platform::MessageBoxAnswer::Yes;
  StartOn(picture);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(Image(), restored);
  EXPECT_EQ((Planes{ViewR, ViewG, ViewB}), restored) << "the canvas shows it";
  const PixelRect box = canvas::ChangedBoxToSend();
  EXPECT_TRUE(box.x1 == 0 && box.y1 == 0 && box.x2 == 40 && box.y2 == 30) << "the whole picture is unsent";
  ASSERT_EQ(platform::ListRecoveryCopies().size(), 1u) << "taken back, the copy is this run's own";
  EXPECT_EQ(platform::ListRecoveryCopies()[0].writer, ::getpid());
  EXPECT_NE(platform::ListRecoveryCopies()[0].path, childCopy);
  EXPECT_EQ(CopyAt(app::RecoveryCopyPath()), restored);
  ASSERT_EQ(canvas::TheHistory().undoStack().size(), 1u);
  canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
  EXPECT_EQ(Image(), PlanesOf(edited));
  PlaneR = painted.r, PlaneG = painted.g, PlaneB = painted.b;

  // A close that sends it puts it in the picture, and the copy is gone.
  Form1Window().Close();
  EXPECT_FALSE(Form1Window().loaded());
  EXPECT_EQ(PlanesOf(QImage(QString::fromStdString(picture))), painted);
  EXPECT_TRUE(platform::ListRecoveryCopies().empty());
}

// A new picture's copies say "a new picture" until its first send gives it a file; from then on they carry
// that file's name, and a start on that file offers them.
TEST_F(RecoveryAfterKill, ANewPicturesCopiesCarryTheNameItsFirstSendGaveIt) {
  filehost::FileHostOptions options;
  options.newPictureFolder = folder.path().toStdString();
  options.onNamed = [](const std::string& path) { app::RecoveryPictureNamed(path); };
  app::ResetProgramState();
  DestroyWindows();
  filehost::RegisterFileHost(options);
  app::Main();
  app::StartRecovery("", 0);
  Paint(PlaneR, 1, 1, 9);
  ASSERT_FALSE(app::KeepRecoveryCopy().empty());
  EXPECT_EQ(platform::ListRecoveryCopies().at(0).picture, "");
  link::SendImageToTarnwick();
  const std::string named = folder.filePath("brisel-1.png").toStdString();
  ASSERT_TRUE(QFile::exists(QString::fromStdString(named)));
  EXPECT_TRUE(platform::ListRecoveryCopies().empty()) << "the send removed the copy";
  Paint(PlaneG, 2, 2, 9);
  ASSERT_FALSE(app::KeepRecoveryCopy().empty());
  const Planes painted = Image();
  ASSERT_EQ(platform::ListRecoveryCopies().size(), 1u);
  EXPECT_EQ(platform::ListRecoveryCopies()[0].picture, named);
  app::StopRecovery();
  platform::ReleasePicture();

  answer = platform::MessageBoxAnswer::Yes;
  StartOn(named);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], HasSubstr("exists. Restore it?"));
  EXPECT_EQ(Image(), painted);
}

// ---- failures at close, and a fatal report --------------------------------------------------------

class RecoveryAtClose : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Start(12, 9);
    app::StartRecovery("/pictures/host.png", 0);
    Paint(PlaneG, 3, 4, 200);  // a change of the run
  }
  void TearDown() override {
    app::StopRecovery();
    AppTest::TearDown();
  }
  QTemporaryDir folder;
  ScopedEnv state{"XDG_STATE_HOME", folder.filePath("state").toStdString()};
};

TEST_F(RecoveryAtClose, EveryFailureWritesTheCopyAndTheQuestionNamesIt) {
  // A send that fails: the copy holds the painting, the question names it, No keeps the canvas.
  host->failFrom["Tarn_SetBbuffer"] = 1;
  answer = platform::MessageBoxAnswer::No;
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 1u);
  const std::string copy = app::RecoveryCopyPath();
  ASSERT_FALSE(copy.empty());
  EXPECT_THAT(messages[0], HasSubstr("A recovery copy of the painting is kept in " + copy));
  EXPECT_THAT(messages[0], HasSubstr("Loose all changes?"));
  EXPECT_TRUE(Form1Window().loaded());
  EXPECT_EQ(CopyAt(copy), Image());
  ASSERT_EQ(platform::ListRecoveryCopies().size(), 1u);
  EXPECT_EQ(platform::ListRecoveryCopies()[0].picture, "/pictures/host.png");

  // The host's picture changed size: the same, with the painting as it is now.
  host->failFrom.clear();
  host->width = 13;
  Paint(PlaneB, 0, 0, 1);
  Form1Window().Close();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_THAT(messages[1], HasSubstr(copy));
  EXPECT_EQ(CopyAt(copy), Image());

  // A fatal report: the copy first, then the report.
  Paint(PlaneR, 5, 5, 7);
  EXPECT_THROW(platform::ReportFatal(Error(51, "Internal error: test")), Error);
  EXPECT_EQ(CopyAt(copy), Image());

  // A send that goes through removes it.
  host->width = 12;
  Form1Window().Close();
  EXPECT_FALSE(Form1Window().loaded());
  EXPECT_EQ(host->blue, PlaneB);
  EXPECT_TRUE(platform::ListRecoveryCopies().empty());
}

// A fetch is no painting: the host's own edit it brought in stays the host's. Kept after a fetch and a
// stroke, and restored over the host's picture as it was before that edit (the host quit without saving),
// the copy brings back the stroke alone.
TEST_F(RecoveryAtClose, AHostsEditThatAFetchBroughtInIsNotBroughtBackByTheCopy) {
  const Planes beforeTheEdit{host->red, host->green, host->blue};
  host->red(10, 8) = 77;
  link::GetImageFromTarnwick();
  Paint(PlaneB, 1, 1, 9);
  ASSERT_FALSE(app::KeepRecoveryCopy().empty());
  Planes restored = beforeTheEdit;
  const platform::RestoredCopy found =
      platform::RestoreRecoveryCopy(app::RecoveryCopyPath(), restored.r, restored.g, restored.b);
  EXPECT_TRUE(found.read && found.pictureChanged);
  Planes expected = beforeTheEdit;
  expected.b(1, 1) = 9;
  EXPECT_EQ(restored, expected) << "the stroke alone: neither the host's edit nor the painting the fetch replaced";
}

}  // namespace
}  // namespace brisel::testing

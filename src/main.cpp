// Brisel's entry point: the command line, the stand-in host's options, Main, and the event loop.

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QImageReader>

#include <cstdio>
#include <exception>
#include <string_view>

#include "app/recovery.h"
#include "app/startup.h"
#include "app/windows.h"
#include "file/file_host.h"
#include "file/file_stamp.h"
#include "platform/lifecycle.h"
#include "platform/recovery.h"
#include "platform/window.h"

namespace {

// brisel --recover: the recovery copies, newest first, one a line.
int ListRecoveryCopies() {
  const std::vector<brisel::platform::RecoveryCopy> copies = brisel::platform::ListRecoveryCopies();
  if (copies.empty()) {
    std::printf("No recovery copies in %s\n", brisel::platform::RecoveryFolder().c_str());
    return 0;
  }
  for (const brisel::platform::RecoveryCopy& copy : copies)
    std::printf("%s  (%s, %d x %d, of %s)\n", copy.path.c_str(), brisel::platform::LocalTimeText(copy.savedAt).c_str(),
                copy.width, copy.height, copy.picture.empty() ? "a new picture" : copy.picture.c_str());
  std::printf("Brisel offers a copy back when it next opens its picture; a copy opens as a picture too.\n");
  return 0;
}

// The last resort for an exception that no handler caught: the painting is kept, and the program ends.
int EndOnUncaught(const char* what) {
  const std::string words = brisel::platform::SayLastWords();
  std::fprintf(stderr, "brisel: an unexpected error ended the program: %s%s%s\n", what,
               words.empty() ? "" : "\nbrisel: ", words.c_str());
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Listing the recovery copies needs no screen.
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    if (std::string_view(argv[i]) == "--recover") {
      QCoreApplication lister(argc, argv);
      return ListRecoveryCopies();
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Brisel");
  QApplication::setApplicationVersion(BRISEL_VERSION);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Brisel: paints smooth, pressure-sensitive strokes on a picture.\n"
      "The picture is fetched from the host (here: the IMAGE file) and sent back when the canvas closes.\n"
      "Without IMAGE, Brisel starts on a new white 1024 x 768 picture, saved on the first send to a new\n"
      "file in the current folder.");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption paper("paper", "Paper texture: a picture read as greyscale (default: a built-in grain).", "FILE");
  QCommandLineOption wallpaper("wallpaper", "Picture tiled behind the tool panel.", "FILE");
  QCommandLineOption recover("recover", "List the recovery copies of paintings (see README) and exit.");
  parser.addOption(paper);
  parser.addOption(wallpaper);
  parser.addOption(recover);
  parser.addPositionalArgument("IMAGE", "The picture to paint on (PNG, JPEG, BMP, ...).", "[IMAGE]");
  parser.process(app);  // --recover was answered above, before any screen was needed
  if (parser.positionalArguments().size() > 1) {
    std::fprintf(stderr, "brisel: one picture at a time, please (see --help)\n");
    return 2;
  }

  brisel::filehost::FileHostOptions options;
  if (!parser.positionalArguments().isEmpty()) options.imagePath = parser.positionalArguments().first().toStdString();
  if (!options.imagePath.empty()) {
    // A picture that cannot be opened is said in one line, before any window opens.
    if (auto problem = brisel::filehost::CheckPicture(options.imagePath)) {
      std::fprintf(stderr, "brisel: %s\n", problem->c_str());
      return 1;
    }
  }
  options.paperPath = parser.value(paper).toStdString();
  options.wallpaperPath = parser.value(wallpaper).toStdString();
  if (!options.wallpaperPath.empty()) {
    // A wallpaper is a nicety: one that cannot be read leaves the panel plain, with a word on why. Only
    // a regular file is opened at all: reading a FIFO or a device would wait before any window shows.
    const std::optional<brisel::filehost::FileStamp> stamp = brisel::filehost::StampOf(options.wallpaperPath);
    QImageReader reader;
    if (stamp && !stamp->isRegular()) {
      std::fprintf(stderr, "brisel: warning: %s is not a regular file; the tool panel stays plain\n",
                   options.wallpaperPath.c_str());
      options.wallpaperPath.clear();
    } else if (reader.setFileName(QString::fromStdString(options.wallpaperPath)); !reader.canRead()) {
      std::fprintf(stderr, "brisel: warning: %s: %s; the tool panel stays plain\n", options.wallpaperPath.c_str(),
                   reader.errorString().toLocal8Bit().constData());
      options.wallpaperPath.clear();
    }
  }
  brisel::filehost::RegisterFileHost(options);

  // Copies are told apart by the picture's absolute path; a new picture has none.
  const std::string picture =
      options.imagePath.empty()
          ? std::string()
          : QFileInfo(QString::fromStdString(options.imagePath)).absoluteFilePath().toStdString();
  int status = 1;
  try {
    brisel::platform::Dispatch([&] {
      brisel::Main();
      brisel::StartRecovery(picture, brisel::AutosaveSeconds());
    });
    status = app.exec();
  } catch (const std::exception& e) {
    status = EndOnUncaught(e.what());
  } catch (...) {
    status = EndOnUncaught("an exception of unknown kind");
  }
  brisel::StopRecovery();
  brisel::DestroyWindows();
  return status;
}

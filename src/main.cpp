// Brisel's entry point: the command line, the stand-in host's options, Main, and the event loop.

#include <QApplication>
#include <QCommandLineParser>
#include <QImageReader>

#include <cstdio>

#include "app/startup.h"
#include "app/windows.h"
#include "file/file_host.h"
#include "platform/window.h"

int main(int argc, char* argv[]) {
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
  parser.addOption(paper);
  parser.addOption(wallpaper);
  parser.addPositionalArgument("IMAGE", "The picture to paint on (PNG, JPEG, BMP, ...).", "[IMAGE]");
  parser.process(app);
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
    // A wallpaper is a nicety: one that cannot be read leaves the panel plain, with a word on why.
    QImageReader reader(QString::fromStdString(options.wallpaperPath));
    if (!reader.canRead()) {
      std::fprintf(stderr, "brisel: warning: %s: %s; the tool panel stays plain\n", options.wallpaperPath.c_str(),
                   reader.errorString().toLocal8Bit().constData());
      options.wallpaperPath.clear();
    }
  }
  brisel::filehost::RegisterFileHost(options);

  brisel::platform::Dispatch(brisel::Main);
  const int status = app.exec();
  brisel::DestroyWindows();
  return status;
}

// Brisel's entry point: the command line, the stand-in host's options, Main, and the event loop.

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QImageReader>

#include <langinfo.h>
#include <unistd.h>
#include <strings.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "app/keys.h"
#include "app/recovery.h"
#include "app/startup.h"
#include "file/file_host.h"
#include "file/file_stamp.h"
#include "file/picture_path.h"
#include "krita/plugin_main.h"
#include "platform/lifecycle.h"
#include "platform/program.h"
#include "platform/recovery_copies.h"
#include "platform/window.h"
#include "state/windows.h"

namespace {

// brisel --recover: the recovery copies, newest first, one a line.
int ListRecoveryCopies() {
  const std::vector<brisel::platform::RecoveryCopy> copies = brisel::platform::ListRecoveryCopies();
  if (copies.empty()) {
    std::printf("No recovery copies in %s\n", brisel::platform::RecoveryFolder().c_str());
    return 0;
  }
  for (const brisel::platform::RecoveryCopy& copy : copies) {
    using brisel::platform::ShownName;
    const bool gone = copy.picture.rfind('/', 0) == 0 && !brisel::platform::ModifiedAt(copy.picture);
    std::printf("%s  (%s, %d x %d, of %s%s)\n", ShownName(brisel::platform::ModifiedAt(copy.path) ? copy.path : copy.journal).c_str(),
                brisel::platform::LocalTimeText(copy.savedAt).c_str(), copy.width, copy.height,
                copy.picture.empty() ? "a new picture" : ShownName(copy.picture).c_str(), gone ? ", which no longer exists" : "");
  }
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

// The files, for --help after the keys (the manual page, brisel(1), says more).
constexpr const char* kHelpFiles = R"(
Files:
  IMAGE~                         the picture's previous content, kept beside it at each send
  $XDG_STATE_HOME/brisel/recovery/
                                 recovery copies of unsent painting (default ~/.local/state/...)
  $XDG_CONFIG_HOME/tarnwick/tarnwick.conf
                                 settings, section [Startup] (default ~/.config/tarnwick/...)
)";

// Qt's own options for graphical programs, which QApplication takes out of the command line: known here
// so that they pass the first reading, which comes before QApplication. Each with whether it takes a value.
constexpr std::pair<const char*, bool> kQtGuiOptions[] = {
    {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true}, {"qwindowtitle", true}, {"reverse", false},
    {"session", true},   {"display", true},  {"geometry", true}, {"style", true}, {"stylesheet", true},
    {"widgetcount", false}, {"qmljsdebugger", true}, {"nograb", false}, {"dograb", false}, {"sync", false}};

struct CommandLine {
  std::string image, paper, wallpaper;  // the bytes given
  std::string kritaExchange;            // the Krita plug-in's folder, when it started Brisel
};

// Reads the command line before any screen is needed, so that --help, --version, --recover and a mistake are
// answered in a terminal without a display too. Gives the exit status when the program ends here.
std::optional<int> ReadCommandLine(int argc, char* argv[], CommandLine& line) {
  QCoreApplication reader(argc, argv);
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // Qt's -platform NAME
  parser.setApplicationDescription(
      "Brisel: paints smooth, pressure-sensitive strokes on a picture.\n"
      "The picture is fetched from the host (here: the IMAGE file) and sent back when the canvas closes.\n"
      "Without IMAGE, Brisel starts on a new white 1024 x 768 picture, saved on the first send to a new\n"
      "file in the current folder.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  QCommandLineOption paper("paper", "Paper texture: a picture read as greyscale (default: a built-in grain).", "FILE");
  QCommandLineOption wallpaper("wallpaper", "Picture tiled behind the tool panel.", "FILE");
  QCommandLineOption recover("recover", "List the recovery copies of paintings and exit.");
  parser.addOption(paper);
  parser.addOption(wallpaper);
  parser.addOption(recover);
  QCommandLineOption krita("krita-exchange",
                           "Paint on a Krita layer: how Brisel's Krita plug-in starts it (Tools > Scripts > Paint in "
                           "Brisel... in Krita), with the folder it shares.",
                           "FOLDER");
  parser.addOption(krita);
  for (const auto& [name, takesValue] : kQtGuiOptions) {
    QCommandLineOption qtOption(name, QString(), takesValue ? "value" : QString());
    qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(qtOption);
  }
  parser.addPositionalArgument("IMAGE", "The picture to paint on (PNG, JPEG, BMP, TIFF, WebP, ...).", "[IMAGE]");
  // Read one byte a character (Latin-1), so that every value gives back, with toLatin1, the very bytes
  // given: a file name need not be UTF-8, and a QString decoded from one that is not loses its bytes. The
  // options' names are ASCII, so they are found as in the decoded text.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLatin1(argv[i]);
  auto bytes = [](const QString& value) { return value.toLatin1().toStdString(); };
  if (!parser.parse(arguments)) {
    std::fprintf(stderr, "brisel: %s See brisel --help.\n", bytes(parser.errorText()).c_str());
    return 2;
  }
  if (parser.isSet(help) || parser.isSet("help-all")) {
    // The keys are listed from the program's own table, as the "Keys and mouse" window lists them.
    std::printf("%s\nOn the canvas (and the tool panel):\n%s%s", parser.helpText().toLocal8Bit().constData(),
                brisel::Keys::Listing().c_str(), kHelpFiles);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("brisel %s\n", BRISEL_VERSION);
    return 0;
  }
  if (parser.isSet(recover)) return ListRecoveryCopies();
  if (parser.positionalArguments().size() > 1) {
    std::fprintf(stderr, "brisel: one picture at a time, please (see --help)\n");
    return 2;
  }
  line.image = bytes(parser.positionalArguments().value(0));
  line.kritaExchange = bytes(parser.value(krita));
  if (!line.kritaExchange.empty() && !line.image.empty()) {
    std::fprintf(stderr, "brisel: a picture or a Krita layer, not both (see --help)\n");
    return 2;
  }
  line.paper = bytes(parser.value(paper));
  line.wallpaper = bytes(parser.value(wallpaper));
  return std::nullopt;
}

// Qt works in UTF-8, and switches a locale that is not (LANG unset gives "C") to one that is, with a
// warning of four lines at every start. The same switch, made quietly before Qt looks: the character type
// only, as Qt makes it (the locale's own name with .UTF-8, else C.UTF-8).
void UseUtf8CharacterType() {
  if (!std::setlocale(LC_ALL, "")) return;  // a locale the system lacks: Qt's word on it stands
  const char* codeset = nl_langinfo(CODESET);
  if (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0) return;
  std::string name = std::setlocale(LC_CTYPE, nullptr);
  name = name.substr(0, name.find_first_of(".@")) + ".UTF-8";
  if (!std::setlocale(LC_CTYPE, name.c_str())) name = "C.UTF-8";
  if (!std::setlocale(LC_CTYPE, name.c_str())) return;
  const char* all = std::getenv("LC_ALL");
  ::setenv(all && all[0] ? "LC_ALL" : "LC_CTYPE", name.c_str(), 1);  // what Qt reads the locale from
}

// Runs the program and its event loop on the picture known as picture, once its host is registered.
int RunOnPicture(const std::string& picture) {
  // A picture that another run has open: only where the painter says so.
  if (!brisel::app::ClaimPictureOrAsk(picture)) return 0;
  int status = 1;
  try {
    brisel::platform::Dispatch([&] {
      brisel::app::Main();
      brisel::app::StartRecovery(picture, brisel::app::AutosaveSeconds());
    });
    status = QApplication::exec();
  } catch (const std::exception& e) {
    status = EndOnUncaught(e.what());
  } catch (...) {
    status = EndOnUncaught("an exception of unknown kind");
  }
  brisel::app::StopRecovery();
  brisel::platform::ReleasePicture();
  brisel::DestroyWindows();
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  UseUtf8CharacterType();
  QCoreApplication::setApplicationName(brisel::kProgramName);
  QCoreApplication::setApplicationVersion(BRISEL_VERSION);
  CommandLine line;
  if (const std::optional<int> status = ReadCommandLine(argc, argv, line)) return *status;

  // Qt would end the program with abort() and several lines where it can open no window (over ssh without
  // X forwarding): one line instead, and status 1.
  if (const std::string why = brisel::platform::WhyNoWindows(); !why.empty()) {
    std::fprintf(stderr, "brisel: %s\n", why.c_str());
    return 1;
  }
  brisel::platform::UseWholeScaleFactors();
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(BRISEL_APP_ID);  // Wayland desktops find the icon by it
  QApplication::setWindowIcon(QIcon::fromTheme(BRISEL_APP_ID));  // X11 task bars take the windows' own (once installed)

  if (!line.kritaExchange.empty()) return brisel::kritahost::PaintOnKritaLayer(line.kritaExchange, RunOnPicture);

  brisel::filehost::FileHostOptions options;
  options.imagePath = line.image;
  if (!options.imagePath.empty()) {
    // A picture that cannot be opened is said in one line, before any window opens.
    if (auto problem = brisel::filehost::CheckPicture(options.imagePath)) {
      std::fprintf(stderr, "brisel: %s\n", problem->c_str());
      return 1;
    }
  }
  options.paperPath = line.paper;
  options.wallpaperPath = line.wallpaper;
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
  // A new picture's copies carry its name once its first send has given it one.
  options.onNamed = [](const std::string& path) {
    brisel::app::RecoveryPictureNamed(brisel::filehost::AbsolutePathOf(path));
  };
  brisel::filehost::RegisterFileHost(options);

  // Copies are told apart by the picture's absolute path, in bytes; a new picture has none.
  return RunOnPicture(brisel::filehost::AbsolutePathOf(options.imagePath));
}

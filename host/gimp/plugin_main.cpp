// Brisel as a GIMP plug-in (GIMP 2.10 or GIMP 3): "Filters > Brisel..." runs the program on the selected
// layer, with GIMP as its host, and returns to GIMP when the canvas closes.

#include <libgimp/gimp.h>

#include <QApplication>
#include <QSocketNotifier>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "app/recovery.h"
#include "app/startup.h"
#include "gimp/gimp_api.h"
#include "gimp/gimp_host.h"
#include "gimp/plugin_shell.h"
#include "platform/lifecycle.h"
#include "platform/program.h"
#include "platform/recovery_copies.h"
#include "platform/window.h"
#include "state/windows.h"

namespace {

using brisel::gimphost::Outcome;

// What ended the run from outside, for GIMP to show: a termination signal, after the copy was written.
std::string endedBy;

// The plug-in started as `brisel --gimp-has-ended TEXT` shows TEXT in a message box and ends: the word of a
// process that GIMP killed, from a fresh process.
constexpr char kSayGimpEnded[] = "--gimp-has-ended";

std::string GimpEndedText(const std::string& words) {
  return "GIMP has ended, so the painting cannot go back to it. " + words +
         " Start Brisel on the same picture and layer in GIMP to have it back.";
}

// GIMP went away while the canvas was open (it was killed or crashed), and libgimp is about to end the
// process with exit(), whose teardown of the toolkit's statics can crash or hang with windows up. The
// painting goes into a recovery copy, the painter is told where, and the process ends here.
[[noreturn]] void GimpGone() {
  const std::string words = brisel::app::KeepRecoveryCopy();
  brisel::platform::ReleasePicture();
  std::fprintf(stderr, "brisel: GIMP has ended while Brisel was open.%s%s\n", words.empty() ? "" : " ",
               words.c_str());
  if (!words.empty()) brisel::platform::ShowMessage(brisel::kProgramName, GimpEndedText(words));
  std::fflush(nullptr);
  ::_exit(1);
}

// GIMP's pipe to the plug-in, from the command line GIMP gave it; -1 when it gave none.
int gimpReadFd = -1;

// A quitting GIMP asks its running plug-ins to quit and kills them 10 ms later: too soon for a copy. The
// request is seen arrive here (while a run is under way GIMP writes to the plug-in only to answer its calls,
// which libgimp reads before it returns), and a child process, of which GIMP knows nothing, writes the copy of
// the painting as it stands and then has a fresh process tell the painter. A pipe that GIMP closed (GIMP
// killed) is libgimp's to report, through GimpGone.
void WatchForGimpQuitting() {
  if (gimpReadFd < 0) return;
  auto* watch = new QSocketNotifier(gimpReadFd, QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(watch, &QSocketNotifier::activated, [watch] {
    watch->setEnabled(false);  // once: the request stays unread
    pollfd pipe{gimpReadFd, POLLIN, 0};
    if (::poll(&pipe, 1, 0) != 1 || (pipe.revents & (POLLHUP | POLLERR)) || !(pipe.revents & POLLIN)) return;
    std::fflush(nullptr);
    if (::fork() != 0) return;  // GIMP ends this process in a moment
    ::alarm(120);               // a copy that cannot be written in time ends unwritten, never hangs
    const std::string words = brisel::app::KeepRecoveryCopy();
    std::fprintf(stderr, "brisel: GIMP has quit while Brisel was open.%s%s\n", words.empty() ? "" : " ",
                 words.c_str());
    std::fflush(nullptr);
    if (!words.empty()) {
      const std::string text = GimpEndedText(words);
      ::execl("/proc/self/exe", "brisel", kSayGimpEnded, text.c_str(), static_cast<char*>(nullptr));
    }
    ::_exit(words.empty() ? 0 : 1);
  });
}

int SayGimpEnded(const char* text) {
  static int argc = 1;
  static char name[] = "brisel";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  brisel::platform::ShowMessage(brisel::kProgramName, text);
  return 0;
}

// The program's event loop on the drawable, until the canvas closes.
Outcome PaintOn(int32_t drawable) {
  static int argc = 1;
  static char name[] = "brisel";
  static char* argv[] = {name, nullptr};
  // GIMP's image window is an X11 one (GIMP 2.10 always; GIMP 3 under X11 or Xwayland): Brisel talks X11
  // too, so that its canvas can stay above that window. A Wayland client cannot name an X11 window as its
  // owner. GIMP 3 on Wayland hands its plug-ins DISPLAY set to the compositor's socket (no colon), and is
  // asked for its window later, where the compositor can use the answer. An explicit QT_QPA_PLATFORM is
  // left as it is.
  const char* display = g_getenv("DISPLAY");
  if (!g_getenv("QT_QPA_PLATFORM") && display && std::strchr(display, ':') &&
      brisel::gimphost::api::ProgressWindow(false).x11 != 0)
    g_setenv("QT_QPA_PLATFORM", "xcb", TRUE);
  // Qt would end the process (GIMP: "Plug-in crashed") when its window system cannot start.
  if (const std::string why = brisel::platform::WhyNoWindows(); !why.empty()) return Outcome::ExecutionError(why);
  brisel::platform::UseWholeScaleFactors();
  QApplication app(argc, argv);
  QApplication::setApplicationName(brisel::kProgramName);
  brisel::gimphost::RegisterGimpHost(drawable);
  // A layer open in another Brisel is opened again only when the painter says so: each send would then
  // carry only its own strokes.
  const std::string identity = brisel::gimphost::PictureIdentity(drawable);
  if (!brisel::app::ClaimPictureOrAsk(identity)) return Outcome::Cancelled();
  std::string failure;
  try {
    brisel::app::Main();
    // A termination signal ends the run, not the process: GIMP is told where the copy went.
    brisel::app::EndRunOnTermination([](const std::string& sentence) {
      endedBy = sentence;
      brisel::platform::LeaveRunUntilUnloaded();
    });
    brisel::app::StartRecovery(identity, brisel::app::AutosaveSeconds());
    WatchForGimpQuitting();
    // The canvas is GIMP's dialog, so Qt would not end with it: the plug-in ends when it is unloaded.
    brisel::platform::RunUntilUnloaded(brisel::Form1Window());
  } catch (const brisel::Error& e) {
    failure = "Brisel could not start (error " + std::to_string(e.number()) + "): " + e.text();
  } catch (const std::exception& e) {
    failure = std::string("Brisel could not start: ") + e.what();
  } catch (...) {
    failure = "Brisel ended on an unexpected error";
  }
  if (!failure.empty()) {
    if (const std::string words = brisel::platform::SayLastWords(); !words.empty()) failure += "\n" + words;
  } else {
    failure = endedBy;
  }
  brisel::app::StopRecovery();
  brisel::DestroyWindows();
  brisel::platform::ReleasePicture();
  return failure.empty() ? Outcome::Success() : Outcome::ExecutionError(failure);
}

Outcome Paint(const brisel::gimphost::Run& run) {
  using brisel::gimphost::RunMode;
  if (run.mode == RunMode::kNonInteractive)
    return Outcome::CallingError("Brisel is a painting window: it runs only interactively.");
  if (run.drawables.size() != 1)
    return Outcome::ExecutionError(run.drawables.empty()
                                       ? "Brisel was given no layer to paint on."
                                       : "Brisel paints on one layer at a time: select just one layer and start "
                                         "Brisel again.");
  const int32_t drawable = run.drawables[0];
  if (auto refusal = brisel::gimphost::RefusalFor(drawable)) return Outcome::ExecutionError(*refusal);
  // Without a window system Qt would end the process before GIMP heard why.
  if (!g_getenv("DISPLAY") && !g_getenv("WAYLAND_DISPLAY") && !g_getenv("QT_QPA_PLATFORM"))
    return Outcome::ExecutionError("Brisel paints in windows of its own, and GIMP runs without a display here.");

  gegl_init(nullptr, nullptr);
  return PaintOn(drawable);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], kSayGimpEnded) == 0) return SayGimpEnded(argv[2]);
  // brisel -gimp [PROTOCOL] READ-FD WRITE-FD MODE ...: GIMP 3 names its protocol's version first.
  const int readFdArgument = GIMP_MAJOR_VERSION >= 3 ? 3 : 2;
  if (argc > readFdArgument && std::strcmp(argv[1], "-gimp") == 0) gimpReadFd = std::atoi(argv[readFdArgument]);
  static const brisel::gimphost::Procedure kBrisel{
      .name = "plug-in-brisel",
      .blurb = "Paint smooth, pressure-sensitive strokes with Brisel",
      .help = "Opens the layer in Brisel's canvas with its tool panel. Paint with the mouse or a pen; what you "
              "paint comes back to GIMP as one undoable step when you close the canvas, or whenever you press "
              "the panel's send button.",
      .imageProcedure = true,
      .menuLabel = "_Brisel...",
      .menuPath = "<Image>/Filters",
      .imageTypes = "RGB*, GRAY*",
      .arguments = {},
      .run = Paint,
      .gimpGone = GimpGone,
  };
  return brisel::gimphost::PlugInMain(argc, argv, kBrisel);
}

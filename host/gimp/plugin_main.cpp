// Brisel as a GIMP plug-in (GIMP 2.10 or GIMP 3): "Filters > Brisel..." runs the program on the selected
// layer, with GIMP as its host, and returns to GIMP when the canvas closes.

#include <libgimp/gimp.h>

#include <QApplication>

#include <exception>
#include <string>

#include "app/recovery.h"
#include "app/startup.h"
#include "app/windows.h"
#include "gimp/gimp_api.h"
#include "gimp/gimp_host.h"
#include "gimp/plugin_shell.h"
#include "platform/lifecycle.h"
#include "platform/window.h"

namespace {

using brisel::gimphost::Outcome;

// The program's event loop on the drawable, until the canvas closes; empty when it ended well, else
// what went wrong.
std::string PaintOn(int32_t drawable) {
  static int argc = 1;
  static char name[] = "brisel";
  static char* argv[] = {name, nullptr};
  // GIMP's image window is an X11 one (GIMP 2.10 always; GIMP 3 under X11 or Xwayland): Brisel talks X11
  // too, so that its canvas can stay above that window. A Wayland client cannot name an X11 window as its
  // owner. An explicit QT_QPA_PLATFORM is left as it is.
  if (!g_getenv("QT_QPA_PLATFORM") && g_getenv("DISPLAY") && brisel::gimphost::api::ProgressWindow() != 0)
    g_setenv("QT_QPA_PLATFORM", "xcb", TRUE);
  brisel::platform::UseWholeScaleFactors();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Brisel");
  brisel::gimphost::RegisterGimpHost(drawable);
  std::string failure;
  try {
    brisel::Main();
    brisel::StartRecovery(brisel::gimphost::PictureIdentity(drawable), brisel::AutosaveSeconds());
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
  }
  brisel::StopRecovery();
  brisel::DestroyWindows();
  return failure;
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
  if (std::string failure = PaintOn(drawable); !failure.empty()) return Outcome::ExecutionError(failure);
  return Outcome::Success();
}

}  // namespace

int main(int argc, char* argv[]) {
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
  };
  return brisel::gimphost::PlugInMain(argc, argv, kBrisel);
}

// Brisel as a GIMP 2.10 plug-in: "Filters > Brisel..." runs the program on the active drawable, with GIMP
// as its host, and returns to GIMP when the canvas closes.

#include <libgimp/gimp.h>

#include <QApplication>

#include <exception>
#include <string>

#include "app/startup.h"
#include "app/windows.h"
#include "gimp/gimp_host.h"
#include "platform/window.h"

namespace {

constexpr const char* kProcedure = "plug-in-brisel";

void Query() {
  static const GimpParamDef args[] = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0) }")},
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("The layer to paint on")},
  };
  gimp_install_procedure(kProcedure, "Paint smooth, pressure-sensitive strokes with Brisel",
                         "Opens the layer in Brisel's canvas with its tool panel. Paint with the mouse or a pen; "
                         "what you paint comes back to GIMP as one undoable step when you close the canvas, or "
                         "whenever you press the panel's send button.",
                         "Brisel developers", "Brisel developers", "2026", "_Brisel...", "RGB*, GRAY*", GIMP_PLUGIN,
                         G_N_ELEMENTS(args), 0, args, nullptr);
  gimp_plugin_menu_register(kProcedure, "<Image>/Filters");
}

// The program's event loop on the drawable, until the canvas closes; empty when it ended well, else
// what went wrong.
std::string PaintOn(int32_t drawable) {
  static int argc = 1;
  static char name[] = "brisel";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QApplication::setApplicationName("Brisel");
  brisel::gimphost::RegisterGimpHost(drawable);
  std::string failure;
  try {
    brisel::Main();
    // The canvas is GIMP's dialog, so Qt would not end with it: the plug-in ends when it is unloaded.
    brisel::platform::RunUntilUnloaded(brisel::Form1Window());
  } catch (const brisel::Error& e) {
    failure = "Brisel could not start (error " + std::to_string(e.number()) + "): " + e.text();
  } catch (const std::exception& e) {
    failure = std::string("Brisel could not start: ") + e.what();
  }
  brisel::DestroyWindows();
  return failure;
}

void Run(const gchar*, gint nparams, const GimpParam* params, gint* nreturn, GimpParam** returns) {
  static GimpParam values[2];
  static std::string message;
  *nreturn = 1;
  *returns = values;
  values[0].type = GIMP_PDB_STATUS;
  values[0].data.d_status = GIMP_PDB_SUCCESS;
  auto fail = [&](GimpPDBStatusType status, std::string text) {
    message = std::move(text);
    values[0].data.d_status = status;
    values[1].type = GIMP_PDB_STRING;
    values[1].data.d_string = message.data();
    *nreturn = 2;
  };

  if (nparams < 3) return fail(GIMP_PDB_CALLING_ERROR, "Brisel needs a run mode, an image and a drawable.");
  if (params[0].data.d_int32 != GIMP_RUN_INTERACTIVE && params[0].data.d_int32 != GIMP_RUN_WITH_LAST_VALS)
    return fail(GIMP_PDB_CALLING_ERROR, "Brisel is a painting window: it runs only interactively.");
  const int32_t drawable = params[2].data.d_drawable;
  if (auto refusal = brisel::gimphost::RefusalFor(drawable)) return fail(GIMP_PDB_EXECUTION_ERROR, *refusal);
  // Without a window system Qt would end the process before GIMP heard why.
  if (!g_getenv("DISPLAY") && !g_getenv("WAYLAND_DISPLAY") && !g_getenv("QT_QPA_PLATFORM"))
    return fail(GIMP_PDB_EXECUTION_ERROR, "Brisel paints in windows of its own, and GIMP runs without a display here.");

  gegl_init(nullptr, nullptr);
  if (std::string failure = PaintOn(drawable); !failure.empty()) fail(GIMP_PDB_EXECUTION_ERROR, failure);
}

const GimpPlugInInfo kPlugInInfo = {nullptr, nullptr, Query, Run};

}  // namespace

int main(int argc, char* argv[]) { return gimp_main(&kPlugInInfo, argc, argv); }

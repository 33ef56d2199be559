#include "gimp/plugin_shell.h"

#include <libgimp/gimp.h>

#include <utility>
#include <vector>

#include "gimp/gimp_api.h"

namespace brisel::gimphost {
namespace {

// The one procedure of this process, as its main gave it.
const Procedure* theProcedure = nullptr;
bool running = false;  // its run is under way

Outcome RunTheProcedure(const Run& run) {
  running = true;
  Outcome outcome = theProcedure->run(run);
  running = false;
  return outcome;
}

// libgimp's last call before it ends the process: after a run, GIMP's normal goodbye; during one, GIMP has
// gone (its pipe closed, or it asked the plug-in to quit).
void Quit() {
  if (running && theProcedure->gimpGone) theProcedure->gimpGone();
}

#if GIMP_MAJOR_VERSION >= 3

RunMode ModeOf(GimpRunMode mode) {
  switch (mode) {
    case GIMP_RUN_INTERACTIVE: return RunMode::kInteractive;
    case GIMP_RUN_WITH_LAST_VALS: return RunMode::kWithLastValues;
    default: return RunMode::kNonInteractive;
  }
}

GimpValueArray* Answer(GimpProcedure* procedure, const Outcome& outcome) {
  switch (outcome.status) {
    case Outcome::Status::kSuccess: return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
    case Outcome::Status::kCancel: return gimp_procedure_new_return_values(procedure, GIMP_PDB_CANCEL, nullptr);
    case Outcome::Status::kCallingError:
      return gimp_procedure_new_return_values(procedure, GIMP_PDB_CALLING_ERROR,
                                              g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, outcome.message.c_str()));
    case Outcome::Status::kExecutionError: break;
  }
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_EXECUTION_ERROR,
                                          g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, outcome.message.c_str()));
}

GimpValueArray* RunImage(GimpProcedure* procedure, GimpRunMode mode, GimpImage* image, GimpDrawable** drawables,
                         GimpProcedureConfig*, gpointer) {
  Run run;
  run.mode = ModeOf(mode);
  run.image = image ? gimp_image_get_id(image) : 0;
  for (GimpDrawable** d = drawables; d && *d; ++d) run.drawables.push_back(gimp_item_get_id(GIMP_ITEM(*d)));
  return Answer(procedure, RunTheProcedure(run));
}

GimpValueArray* RunPlain(GimpProcedure* procedure, GimpProcedureConfig* config, gpointer) {
  Run run;
  GimpRunMode mode = GIMP_RUN_NONINTERACTIVE;
  g_object_get(config, "run-mode", &mode, nullptr);
  run.mode = ModeOf(mode);
  for (const Argument& argument : theProcedure->arguments) {
    if (argument.kind == Argument::Kind::kImage) {
      GimpImage* image = nullptr;
      g_object_get(config, argument.name, &image, nullptr);
      run.images.push_back(image ? gimp_image_get_id(image) : 0);
      if (image) g_object_unref(image);
    } else {
      gchar* text = nullptr;
      g_object_get(config, argument.name, &text, nullptr);
      run.strings.emplace_back(text ? text : "");
      g_free(text);
    }
  }
  return Answer(procedure, RunTheProcedure(run));
}

GimpProcedure* Create(GimpPlugIn* plugIn, const gchar* name) {
  const Procedure& p = *theProcedure;
  if (g_strcmp0(name, p.name) != 0) return nullptr;
  GimpProcedure* procedure;
  if (p.imageProcedure) {
    procedure = gimp_image_procedure_new(plugIn, name, GIMP_PDB_PROC_TYPE_PLUGIN, RunImage, nullptr, nullptr);
    gimp_procedure_set_image_types(procedure, p.imageTypes);
    gimp_procedure_set_sensitivity_mask(procedure, GIMP_PROCEDURE_SENSITIVE_DRAWABLE);
    gimp_procedure_set_menu_label(procedure, p.menuLabel);
    gimp_procedure_add_menu_path(procedure, p.menuPath);
  } else {
    procedure = gimp_procedure_new(plugIn, name, GIMP_PDB_PROC_TYPE_PLUGIN, RunPlain, nullptr, nullptr);
    gimp_procedure_add_enum_argument(procedure, "run-mode", "Run mode", "The run mode", GIMP_TYPE_RUN_MODE,
                                     GIMP_RUN_NONINTERACTIVE, G_PARAM_READWRITE);
    for (const Argument& a : p.arguments) {
      if (a.kind == Argument::Kind::kImage)
        gimp_procedure_add_image_argument(procedure, a.name, a.name, a.description, FALSE, G_PARAM_READWRITE);
      else
        gimp_procedure_add_string_argument(procedure, a.name, a.name, a.description, "", G_PARAM_READWRITE);
    }
  }
  gimp_procedure_set_documentation(procedure, p.blurb, p.help, name);
  gimp_procedure_set_attribution(procedure, "Brisel developers", "Brisel developers", "2026");
  return procedure;
}

GList* Query(GimpPlugIn*) { return g_list_append(nullptr, g_strdup(theProcedure->name)); }

}  // namespace
}  // namespace brisel::gimphost

// GIMP 3 wants a plug-in class of its own: GObject's boilerplate, with the two answers above.
extern "C" {
struct BriselPlugIn {
  GimpPlugIn parent_instance;
};
struct BriselPlugInClass {
  GimpPlugInClass parent_class;
};
G_DEFINE_TYPE(BriselPlugIn, brisel_plug_in, GIMP_TYPE_PLUG_IN)
static void brisel_plug_in_class_init(BriselPlugInClass* klass) {
  GimpPlugInClass* plugInClass = GIMP_PLUG_IN_CLASS(klass);
  plugInClass->query_procedures = brisel::gimphost::Query;
  plugInClass->create_procedure = brisel::gimphost::Create;
  plugInClass->quit = [](GimpPlugIn*) { brisel::gimphost::Quit(); };
}
static void brisel_plug_in_init(BriselPlugIn*) {}
}

namespace brisel::gimphost {

int PlugInMain(int argc, char* argv[], const Procedure& procedure) {
  theProcedure = &procedure;
  return gimp_main(brisel_plug_in_get_type(), argc, argv);
}

#else  // GIMP 2.10

void Query() {
  const Procedure& p = *theProcedure;
  std::vector<GimpParamDef> params{
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")}};
  if (p.imageProcedure) {
    params.push_back({GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")});
    params.push_back({GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("The layer to paint on")});
  }
  for (const Argument& a : p.arguments)
    params.push_back({a.kind == Argument::Kind::kImage ? GIMP_PDB_IMAGE : GIMP_PDB_STRING, const_cast<gchar*>(a.name),
                      const_cast<gchar*>(a.description)});
  gimp_install_procedure(p.name, p.blurb, p.help, "Brisel developers", "Brisel developers", "2026", p.menuLabel,
                         p.imageTypes, GIMP_PLUGIN, gint(params.size()), 0, params.data(), nullptr);
  if (p.menuPath) gimp_plugin_menu_register(p.name, p.menuPath);
}

void RunProcedure(const gchar*, gint nparams, const GimpParam* params, gint* nreturn, GimpParam** returns) {
  static GimpParam values[2];
  static std::string message;
  const Procedure& p = *theProcedure;
  auto answer = [&](const Outcome& outcome) {
    *nreturn = 1;
    *returns = values;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = outcome.status == Outcome::Status::kSuccess        ? GIMP_PDB_SUCCESS
                              : outcome.status == Outcome::Status::kCancel       ? GIMP_PDB_CANCEL
                              : outcome.status == Outcome::Status::kCallingError ? GIMP_PDB_CALLING_ERROR
                                                                                 : GIMP_PDB_EXECUTION_ERROR;
    if (outcome.status == Outcome::Status::kCallingError || outcome.status == Outcome::Status::kExecutionError) {
      message = outcome.message;
      values[1].type = GIMP_PDB_STRING;
      values[1].data.d_string = message.data();
      *nreturn = 2;
    }
  };
  const size_t expected = 1 + (p.imageProcedure ? 2 : p.arguments.size());
  if (nparams < 1 || size_t(nparams) != expected)
    return answer(Outcome::CallingError(std::string(p.name) + " was called with the wrong number of arguments."));

  Run run;
  run.mode = params[0].data.d_int32 == GIMP_RUN_INTERACTIVE      ? RunMode::kInteractive
             : params[0].data.d_int32 == GIMP_RUN_WITH_LAST_VALS ? RunMode::kWithLastValues
                                                                 : RunMode::kNonInteractive;
  if (p.imageProcedure) {
    run.image = params[1].data.d_image;
    run.drawables.push_back(params[2].data.d_drawable);
  } else {
    for (size_t i = 0; i < p.arguments.size(); ++i) {
      if (p.arguments[i].kind == Argument::Kind::kImage)
        run.images.push_back(params[i + 1].data.d_image);
      else
        run.strings.emplace_back(params[i + 1].data.d_string ? params[i + 1].data.d_string : "");
    }
  }
  answer(RunTheProcedure(run));
}

const GimpPlugInInfo kPlugInInfo = {nullptr, Quit, Query, RunProcedure};

}  // namespace

int PlugInMain(int argc, char* argv[], const Procedure& procedure) {
  theProcedure = &procedure;
  return gimp_main(&kPlugInInfo, argc, argv);
}

#endif

std::string LastGimpError() { return api::LastError(); }

}  // namespace brisel::gimphost

#include "app/startup.h"

#include <optional>
#include <string>

#include "app/window_handlers.h"
#include "blend/blend_tables.h"
#include "canvas/changed_box.h"
#include "canvas/display.h"
#include "canvas/display_bitmap.h"
#include "canvas/pyramid.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "platform/settings.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "stroke/pressure_curve.h"

namespace brisel::app {
namespace {

// The undo history's memory budget: the host's setting Undo_Memory_MB (section "Startup", read as the
// theme's settings are), or the default where it is absent or not a positive number.
uint64_t ReadUndoMemoryBudget() {
  constexpr uint64_t kMiB = uint64_t(1) << 20;
  const std::optional<int32_t> megabytes =
      platform::SettingNumber(platform::GetSetting("tarnwick", "Startup", "Undo_Memory_MB", ""));
  return megabytes && *megabytes > 0 ? uint64_t(*megabytes) * kMiB : canvas::History::DefaultUndoMemoryBudget();
}

}  // namespace

void SizeBuffers() {
  for (BytePlane* plane : {&PlaneR, &PlaneG, &PlaneB, &FXbuffer, &ViewR, &ViewG, &ViewB})
    *plane = BytePlane(ImageWidth, ImageHeight);
}

void Main() {
  WireWindowHandlers();
  // The view and the histories are as at process start (the program's reset gives tests the same); the
  // histories' budget is the host's setting.
  canvas::TheHistory().SetUndoMemoryBudget(ReadUndoMemoryBudget());
  stroke::LoadPenCurve();
  HostObject = platform::CreateObject(platform::kHostProgId);
  blend::BuildCoverageCurves();
  blend::BuildBlendTable();
  link::FetchPaper();
  ImageWidth = platform::ToLong(link::CallHost("Tarn_BufferWidth"));
  ImageHeight = platform::ToLong(link::CallHost("Tarn_BufferHeight"));
  if (ImageWidth <= 0 || ImageHeight <= 0)
    throw Error(errors::kBadPlane, "The host's image is " + std::to_string(ImageWidth) + " x " +
                                       std::to_string(ImageHeight) + " pixels: there is nothing to paint on");
  SizeBuffers();
  PlaneR = link::FetchPlane("Tarn_GetRBuffer", "red");
  PlaneG = link::FetchPlane("Tarn_GetGBuffer", "green");
  PlaneB = link::FetchPlane("Tarn_GetBBuffer", "blue");
  canvas::SyncView({0, 0, ImageWidth, ImageHeight});
  canvas::ForgetChanges();  // the planes are the host's own
  Pyramid::Forget();
  Dibs::CreateDib(Form1Window());
  AppCaption.assign(kProgramNameAndVersion).append(" for PT Embers - Spline based paint engine");

  platform::Form& canvas = Form1Window();
  int16_t zero = 0;
  platform::Variant handOver[] = {&canvas, &zero};
  link::CallHost("Tarn_SendFormObject", handOver);
  // A host that only takes the window does not show it; then the program does.
  if (!canvas.loaded()) canvas.Show();
}

}  // namespace brisel::app

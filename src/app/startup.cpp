#include "app/startup.h"

#include "app/host_link.h"
#include "app/shared_state.h"
#include "app/windows.h"
#include "blend/blend_tables.h"
#include "canvas/changed_box.h"
#include "canvas/display_bitmap.h"

namespace brisel {

void SizeBuffers() {
  for (BytePlane* plane : {&PlaneR, &PlaneG, &PlaneB, &FXbuffer, &ViewR, &ViewG, &ViewB})
    *plane = BytePlane(ImageWidth, ImageHeight);
}

void Main() {
  Zoom = 1.0f;
  PanX = PanY = 0;
  UndoStack.clear();
  UndoLimit = 256;
  HostObject = platform::CreateObject(kHostProgId);
  BuildCoverageCurves();
  BuildBlendTable();
  FetchPaper();
  ImageWidth = platform::ToLong(CallHost("Tarn_BufferWidth"));
  ImageHeight = platform::ToLong(CallHost("Tarn_BufferHeight"));
  if (ImageWidth <= 0 || ImageHeight <= 0)
    throw Error(errors::kBadPlane, "The host's image is " + std::to_string(ImageWidth) + " x " +
                                       std::to_string(ImageHeight) + " pixels: there is nothing to paint on");
  SizeBuffers();
  PlaneR = FetchPlane("Tarn_GetRBuffer", "red");
  PlaneG = FetchPlane("Tarn_GetGBuffer", "green");
  PlaneB = FetchPlane("Tarn_GetBBuffer", "blue");
  ViewR = PlaneR;
  ViewG = PlaneG;
  ViewB = PlaneB;
  ForgetChanges();  // the planes are the host's own
  Dibs::CreateDib();
  AppCaption = "Brisel 1.1 for PT Embers - Spline based paint engine";

  platform::Form& canvas = Form1Window();
  int16_t zero = 0;
  platform::Variant handOver[] = {&canvas, &zero};
  CallHost("Tarn_SendFormObject", handOver);
  // A host that only takes the window does not show it; then the program does.
  if (!canvas.loaded()) canvas.Show();
}

}  // namespace brisel

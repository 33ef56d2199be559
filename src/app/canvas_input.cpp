// The canvas's mouse and key handlers: pointer events into strokes, view drags and colour picks.

#include "app/canvas_input.h"

#include <cmath>

#include "app/shared_state.h"
#include "app/windows.h"
#include "canvas/display.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "panel/colour_triangle.h"
#include "panel/tool_panel.h"
#include "platform/numbers.h"
#include "stroke/spline.h"
#include "stroke/stroke.h"
#include "stroke/stroke_rect.h"

namespace brisel::Form1 {
namespace {

using platform::shiftkeys::kShiftCtrl;

// While the pen is in proximity, every mouse event takes the pen's latest position.
void TakePenPosition(float& X, float& Y) {
  if (TabletPresent && PenInProximity != 0) {
    X = PenWindowX;
    Y = PenWindowY;
  }
}

// Window to image pixels, in float and kept fractional.
float ImageX(float X) { return X / Zoom - float(PanX) / Zoom; }
float ImageY(float Y) { return Y / Zoom - float(PanY) / Zoom; }

// The colour of the image pixel under the pointer becomes the paint colour, through the "Red", "Green"
// and "Blue" sliders exactly as if the user had moved them. Outside the image nothing happens.
void PickColour(float X, float Y) {
  const float px = std::nearbyint(ImageX(X)), py = std::nearbyint(ImageY(Y));
  if (!(px >= 0 && px < float(ImageWidth) && py >= 0 && py < float(ImageHeight))) return;
  const int32_t x = int32_t(px), y = int32_t(py);
  if (!PlaneR.contains(x, y) || !PlaneG.contains(x, y) || !PlaneB.contains(x, y)) return;
  const uint8_t red = PlaneR(x, y), green = PlaneG(x, y), blue = PlaneB(x, y);
  Form2::HProp2().SetValue(red);
  Form2::HProp3().SetValue(green);
  Form2::HProp4().SetValue(blue);
  TriPicker::DrawTriangle();
}

}  // namespace

void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (TabletPresent && PenInProximity == 0) PenPressure = 1.0f;
  if (Button == 0) return;

  StartViewDrag(X, Y);
  StrokeActive = true;
  if (Shift == kShiftCtrl) return;  // a pan or zoom drag begins
  if (PickMode) {
    PickColour(X, Y);
    return;
  }
  BeginStroke(ImageX(X), ImageY(Y), PenPressure);
}

void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (!StrokeActive) return;  // hovering does nothing
  GrowStrokeRect(ImageX(X), ImageY(Y));
  if (Shift == kShiftCtrl) {
    ViewDrag(Button, X, Y);
    return;
  }
  if (PickMode) {
    if (Button != 0) PickColour(X, Y);
    return;
  }
  AddStrokePoint(ImageX(X), ImageY(Y), PenPressure);
  if (Button != 0 && StrokeCount >= 3) {
    DrawBrush(X, Y);
    StrokeUncommitted = true;
    StrokeUndrawn = false;
  }
}

void Form_MouseUp(int16_t /*Button*/, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (Shift == kShiftCtrl || PickMode) {
    // A view drag ends, the press staying active, or a pick; a stroke painted before the key went down
    // ends with its button all the same.
    CommitStroke();
    if (Shift != kShiftCtrl) PickColour(X, Y);
    return;
  }
  // The release also runs without a press seen; it then ends the leftover stroke.
  EndStroke(ImageX(X), ImageY(Y), PenPressure, X, Y);
  StrokeActive = false;
}

void Form_KeyDown(int16_t& KeyCode, int16_t& /*Shift*/) {
  if (KeyCode == platform::keys::kComma) {
    Form1Window().SetMousePointer(platform::MousePointer::Arrow);
    PickMode = true;
  }
}

void Form_KeyUp(int16_t& KeyCode, int16_t& Shift) {
  if (KeyCode == platform::keys::kComma) {
    Form1Window().SetMousePointer(platform::MousePointer::Crosshair);
    PickMode = false;
  }
  // Zoom keys act on release, about the image's top-left corner; Ctrl must be the only modifier.
  if (Shift == platform::shiftkeys::kCtrl && KeyCode == platform::keys::kPlus) {
    SetView(Zoom + 0.25f, PanX, PanY);
    displaybuffers();
  }
  if (Shift == platform::shiftkeys::kCtrl && KeyCode == platform::keys::kMinus && Zoom > 0.25f) {
    SetView(Zoom - 0.25f, PanX, PanY);
    displaybuffers();
  }
}

void Form_KeyPress(int16_t& KeyAscii) {
  if (KeyAscii == 'u') UndoLastStep();
}

}  // namespace brisel::Form1

// The canvas's mouse and key handlers: pointer events into strokes, view drags and colour picks.

#include "app/canvas_input.h"

#include <cmath>
#include <optional>
#include <utility>

#include "app/canvas_stroke.h"
#include "app/keys.h"
#include "canvas/display.h"
#include "canvas/navigation.h"
#include "canvas/undo.h"
#include "canvas/view_turn.h"
#include "link/host_link.h"
#include "panel/colour_triangle.h"
#include "panel/tool_panel.h"
#include "platform/numbers.h"
#include "state/shared_state.h"
#include "state/windows.h"
#include "stroke/stroke.h"

namespace brisel::Form1 {
namespace {

using platform::shiftkeys::kShiftCtrl;

constexpr double kPixelsPerNotch = 60;  // a wheel's notch scrolls three lines of 20 pixels
constexpr double kZoomPerNotch = 1.25;  // and with Ctrl zooms by a quarter

// The pointer says what a press will do: pick (comma held), pan (Space held) or paint.
void ShowModePointer() {
  Form1Window().SetMousePointer(PickMode    ? platform::MousePointer::Arrow
                                : SpaceHeld ? platform::MousePointer::SizeAll
                                            : platform::MousePointer::Crosshair);
}

// While the pen is in proximity, every mouse event takes the pen's latest position.
void TakePenPosition(float& X, float& Y) {
  if (TabletPresent && PenInProximity != 0) {
    X = PenWindowX;
    Y = PenWindowY;
  }
}

// A window position as the stroke engine takes it: image pixels, in float and kept fractional, and the
// upright window position (u, v) that the spline's step is estimated from, so that a stroke painted turned
// is the one painted upright along the same path of the picture. Every position goes back through the
// view's turn here, and nowhere else.
struct Place {
  float x, y, u, v;
};
Place At(float X, float Y) {
  const canvas::ViewPoint upright = canvas::WindowToUpright(Form1Window(), X, Y);
  const float u = float(upright.x), v = float(upright.y);
  return {canvas::UprightImageX(u), canvas::UprightImageY(v), u, v};
}

// What the event changed shown, and what was refused said.
void Show(canvas::Changed changed) {
  changed.refused += canvas::RedrawRect(Form1Window(), changed.rect);
  link::Tell(changed.refused);
}

// The colour of the image pixel under the pointer; none outside the image.
std::optional<platform::Color> ColourUnder(float X, float Y) {
  const Place at = At(X, Y);
  const float px = std::nearbyint(at.x), py = std::nearbyint(at.y);
  if (!(px >= 0 && px < float(ImageWidth) && py >= 0 && py < float(ImageHeight))) return std::nullopt;
  const int32_t x = int32_t(px), y = int32_t(py);
  if (!PlaneR.contains(x, y) || !PlaneG.contains(x, y) || !PlaneB.contains(x, y)) return std::nullopt;
  return platform::RGB(PlaneR(x, y), PlaneG(x, y), PlaneB(x, y));
}

// A picked colour becomes the paint colour, through the "Red", "Green" and "Blue" sliders exactly as if the
// user had moved them.
void TakeColour(std::optional<platform::Color> colour) {
  if (!colour) return;
  panel::HProp2().SetValue(int32_t(*colour & 0xFF));
  panel::HProp3().SetValue(int32_t(*colour >> 8 & 0xFF));
  panel::HProp4().SetValue(int32_t(*colour >> 16 & 0xFF));
  TriPicker::DrawTriangle();
}

// The colour of the image pixel under the pointer becomes the paint colour. Outside the image nothing happens.
void PickColour(float X, float Y) { TakeColour(ColourUnder(X, Y)); }

}  // namespace

void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (TabletPresent && PenInProximity == 0) PenPressure = 1.0f;
  if (Button == 0) return;

  canvas::StartViewDrag(X, Y);
  StrokeActive = true;
  if (SpaceHeld) {
    // A pan, or with Shift a turn, which neither paints nor picks; a stroke painted with another button
    // first ends here.
    Show(app::CommitCanvasStroke());
    if (Shift == platform::shiftkeys::kShift) {
      canvas::StartTurnDrag(Form1Window(), X, Y);
      SpaceTurn = true;
    } else {
      SpacePan = true;
    }
    return;
  }
  if (Shift == kShiftCtrl) return;  // a pan or zoom drag begins
  if (PickMode) {
    PickColour(X, Y);
    return;
  }
  const Place at = At(X, Y);
  stroke::BeginStroke(app::CanvasStroke(), app::CanvasBrush(), at.x, at.y, PenPressure);
}

void Form_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (!StrokeActive) return;  // hovering does nothing
  if (SpacePan || SpaceTurn) {
    if (Button != 0)
      link::Tell(SpacePan ? canvas::SpaceDrag(Form1Window(), X, Y) : canvas::TurnDrag(Form1Window(), X, Y));
    return;
  }
  const Place at = At(X, Y);
  if (Shift == kShiftCtrl || PickMode) {
    stroke::PassOverStroke(app::CanvasStroke(), app::CanvasBrush(), at.x, at.y);
    if (Shift == kShiftCtrl) link::Tell(canvas::ViewDrag(Form1Window(), Button, X, Y));
    else if (Button != 0) PickColour(X, Y);
    return;
  }
  // Every spline sample of the event composites its own piece; the canvas shows them all at once.
  stroke::Surface surface = app::CanvasSurface();
  const PixelRect drawn = stroke::ContinueStroke(app::CanvasStroke(), surface, app::CanvasBrush(), at.x, at.y,
                                                 PenPressure, at.u, at.v, Button != 0);
  link::Tell(canvas::RedrawRect(Form1Window(), drawn));
}

void Form_MouseUp(int16_t /*Button*/, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (SpacePan || SpaceTurn) {
    SpacePan = SpaceTurn = false;
    StrokeActive = false;
    return;
  }
  if (Shift == kShiftCtrl || PickMode) {
    // A view drag ends, the press staying active, or a pick; a stroke painted before the key went down
    // ends with its button all the same, in its own colour. The pick reads the image as it was before that
    // commit, so the colour picked is the picture's, not the stroke's blended over it.
    const std::optional<platform::Color> picked = Shift != kShiftCtrl ? ColourUnder(X, Y) : std::nullopt;
    Show(app::CommitCanvasStroke());
    TakeColour(picked);
    return;
  }
  // The release also runs without a press seen; it then ends the leftover stroke.
  const Place at = At(X, Y);
  stroke::Surface surface = app::CanvasSurface();
  Show(stroke::EndStroke(app::CanvasStroke(), surface, app::CanvasBrush(), app::CanvasCommitHooks(), at.x, at.y,
                         PenPressure, at.u, at.v));
  StrokeActive = false;
}

void Form_MouseWheel(const platform::WheelTurn& turn) {
  if (turn.Shift == platform::shiftkeys::kCtrl) {
    const double notches = turn.NotchesY != 0 ? turn.NotchesY : turn.PixelsY / kPixelsPerNotch;
    if (notches != 0)
      link::Tell(canvas::ZoomAbout(Form1Window(), turn.X, turn.Y, float(Zoom * std::pow(kZoomPerNotch, notches))));
    return;
  }
  if (turn.Shift != 0 && turn.Shift != platform::shiftkeys::kShift) return;
  // A touchpad moves the picture by its own pixels; a wheel by notches.
  double dx = turn.HasPixels ? turn.PixelsX : turn.NotchesX * kPixelsPerNotch;
  double dy = turn.HasPixels ? turn.PixelsY : turn.NotchesY * kPixelsPerNotch;
  if (turn.Shift == platform::shiftkeys::kShift && dx == 0) std::swap(dx, dy);  // Shift turns the wheel sideways
  if (dx != 0 || dy != 0) link::Tell(canvas::ScrollView(Form1Window(), dx, dy));
}

void Form_Pinch(float X, float Y, float Factor) {
  if (Factor > 0) link::Tell(canvas::ZoomAbout(Form1Window(), X, Y, Zoom * Factor));
}

void Form_Turn(float Degrees) {
  if (std::isfinite(Degrees) && Degrees != 0) link::Tell(canvas::TurnBy(Form1Window(), Degrees));
}

void Form_KeyDown(int16_t& KeyCode, int16_t& Shift) {
  if (KeyCode == platform::keys::kComma) {
    PickMode = true;
    ShowModePointer();
  }
  if (KeyCode == platform::keys::kSpace) {
    SpaceHeld = true;
    ShowModePointer();
  }
  Keys::Run(KeyCode, Shift, Keys::When::Press);
}

void Form_Deactivate() {
  if (!PickMode && !SpaceHeld) return;
  PickMode = false;
  SpaceHeld = false;
  ShowModePointer();
}

void Form_KeyUp(int16_t& KeyCode, int16_t& Shift) {
  if (KeyCode == platform::keys::kComma) {
    PickMode = false;
    ShowModePointer();
  }
  if (KeyCode == platform::keys::kSpace) {
    SpaceHeld = false;
    ShowModePointer();
  }
  Keys::Run(KeyCode, Shift, Keys::When::Release);
  // Zoom keys act on release, about the image's top-left corner; Ctrl must be the only modifier.
  const bool plus = KeyCode == platform::keys::kPlus, minus = KeyCode == platform::keys::kMinus;
  if (Shift == platform::shiftkeys::kCtrl && (plus || (minus && Zoom > canvas::kZoomKeyStep))) {
    platform::Form& window = Form1Window();
    const float zoom = plus ? Zoom + canvas::kZoomKeyStep : Zoom - canvas::kZoomKeyStep;
    canvas::Refusals refused = canvas::SetView(window, zoom, PanX, PanY).refused;
    link::Tell(refused += canvas::displaybuffers(window));
  }
}

void Form_KeyPress(int16_t& KeyAscii) {
  if (KeyAscii == 'u') {
    const PixelRect undone = canvas::TheHistory().UndoLastStep(app::CanvasStroke().StrokeUncommitted);
    link::Tell(canvas::RedrawRect(Form1Window(), undone));
  }
}

}  // namespace brisel::Form1

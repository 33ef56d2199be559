// The canvas's mouse handlers: pointer events into strokes, view drags and colour picks.

#include "stroke/capture.h"

#include <algorithm>
#include <cmath>

#include "app/shared_state.h"
#include "canvas/clear.h"
#include "canvas/display_bitmap.h"
#include "canvas/rectangles.h"
#include "canvas/navigation.h"
#include "canvas/pyramid.h"
#include "canvas/undo.h"
#include "panel/colour_triangle.h"
#include "panel/tool_panel.h"
#include "stroke/compositing.h"
#include "stroke/spline.h"
#include "stroke/stroke_rect.h"

namespace brisel::Form1 {
namespace {

constexpr int16_t kShiftCtrl = 3;  // Shift and Ctrl, without Alt: the view drag

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

// The canvas's load allocates the point list; a handler that runs before it (a release with no press
// seen, a test driving the handlers alone) gets the same all-zero list instead of writing past an empty one.
void EnsurePointList() {
  if (StrokePoints.size() <= size_t(kStrokePointsLast)) StrokePoints.assign(kStrokePointsLast + 1, StrokePoint{0, 0, 0});
}

// The next point of the list, which wraps from 10000 back to 0.
void AddPoint(float X, float Y) {
  EnsurePointList();
  ++StrokeCount;
  if (StrokeCount > kStrokePointsLast || StrokeCount < 0) StrokeCount = 0;
  StrokePoints[size_t(StrokeCount)] = {ImageX(X), ImageY(Y), PenPressure};
}

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

// The window ends a stroke showing exactly what was committed. The preview composites a box of BrushSize
// around each piece, and a dab's anti-aliased rim (or a dab grown past BrushSize) can reach a pixel beyond
// it, which the commit paints but no preview showed.
void ShowCommitted(float x1, float y1, float x2, float y2) {
  const PixelRect r = NormaliseRect(x1, y1, x2, y2);
  if (r.empty()) return;
  Pyramid::MarkChanged(r);  // the commit wrote the planes here
  for (int32_t y = r.y1; y < r.y2; ++y) {
    std::copy_n(&PlaneR(r.x1, y), r.x2 - r.x1, &ViewR(r.x1, y));
    std::copy_n(&PlaneG(r.x1, y), r.x2 - r.x1, &ViewG(r.x1, y));
    std::copy_n(&PlaneB(r.x1, y), r.x2 - r.x1, &ViewB(r.x1, y));
  }
  Dibs::BlitRect(PlaneR, PlaneG, PlaneB, r.x1, r.y1, r.x2 - 1, r.y2 - 1);
}

}  // namespace

void Form_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (TabletPresent && PenInProximity == 0) PenPressure = 1.0f;
  if (Button == 0) return;

  DragStartX = X;
  DragStartY = Y;
  DragStartPanX = float(PanX);
  DragStartPanY = float(PanY);
  DragStartZoom = Zoom;
  StrokeActive = true;
  if (Shift == kShiftCtrl) return;  // a pan or zoom drag begins
  if (PickMode) {
    PickColour(X, Y);
    return;
  }

  EnsurePointList();
  const float px = ImageX(X), py = ImageY(Y);
  if (StrokeUncommitted) {
    // Another button went down mid-stroke: the dabs already in the mask stay inside the rectangle, so that
    // this stroke's release commits and clears them instead of leaving them for some later stroke.
    GrowStrokeRect(px, py);
  } else {
    StrokeMinX = px - BrushSize;
    StrokeMinY = py - BrushSize;
    StrokeMaxX = px + BrushSize;
    StrokeMaxY = py + BrushSize;
  }
  StrokeCount = 0;
  LastDabX = px;
  LastDabY = py;
  StrokePoints[0] = {px, py, PenPressure};
  LastDabPressure = PenPressure;
  StrokeUndrawn = true;
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
  AddPoint(X, Y);
  if (Button != 0 && StrokeCount >= 3) {
    DrawBrush(X, Y);
    StrokeUncommitted = true;
    StrokeUndrawn = false;
  }
}

void Form_MouseUp(int16_t /*Button*/, int16_t Shift, float X, float Y) {
  TakePenPosition(X, Y);
  if (Shift == kShiftCtrl) return;  // a view drag ends; the press stays active
  if (PickMode) {
    PickColour(X, Y);
    return;
  }
  // The release also runs without a press seen; it then ends the leftover stroke.
  AddPoint(X, Y);
  DrawBrush(X, Y);
  // A click, or a press with a single movement, has no spline piece: it is drawn straight instead.
  if (StrokeUndrawn && StrokeCount < 3) DrawShortStroke();
  StrokeUndrawn = false;
  StrokeActive = false;
  GrowStrokeRect(ImageX(X), ImageY(Y));
  StrokeMinX -= 0.5f;
  StrokeMinY -= 0.5f;
  StrokeMaxX += 0.5f;
  StrokeMaxY += 0.5f;
  // The undo step must see the image before the commit changes it. Without it the stroke is dropped: the
  // mask is cleared all the same and the window shows the image as it was.
  if (SaveUndoRect(StrokeMinX, StrokeMinY, StrokeMaxX, StrokeMaxY))
    RenderSegment(2, StrokeMinX, StrokeMinY, StrokeMaxX, StrokeMaxY);
  ClearFXbuffer(StrokeMinX, StrokeMinY, StrokeMaxX, StrokeMaxY);
  StrokeUncommitted = false;
  ShowCommitted(StrokeMinX, StrokeMinY, StrokeMaxX, StrokeMaxY);
}

}  // namespace brisel::Form1

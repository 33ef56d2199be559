// The stroke itself: its points, its dirty rectangle and its commit, in image pixels.

#include "stroke/stroke.h"

#include <utility>

#include "canvas/clear.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "state/shared_state.h"
#include "stroke/compositing.h"
#include "stroke/spline.h"
#include "stroke/stroke_rect.h"

namespace brisel::stroke {
namespace {

// The canvas's load allocates the point list; a call that comes before it (a release with no press seen, a
// test driving the handlers alone) gets the same all-zero list instead of writing past an empty one.
void EnsurePointList() {
  if (StrokePoints.size() <= size_t(kStrokePointsLast)) StrokePoints.assign(kStrokePointsLast + 1, StrokePoint{0, 0, 0});
}

}  // namespace

void BeginStroke(float x, float y, float pressure) {
  EnsurePointList();
  if (StrokeUncommitted) {
    GrowStrokeRect(x, y);
  } else {
    StrokeMinX = x - BrushSize;
    StrokeMinY = y - BrushSize;
    StrokeMaxX = x + BrushSize;
    StrokeMaxY = y + BrushSize;
  }
  StrokeCount = 0;
  LastDabX = x;
  LastDabY = y;
  StrokePoints[0] = {x, y, pressure};
  LastDabPressure = pressure;
  StrokeUndrawn = true;
}

void PassOverStroke(float x, float y) { GrowStrokeRect(x, y); }

PixelRect ContinueStroke(float x, float y, float pressure, float windowX, float windowY, bool painting) {
  EnsurePointList();
  GrowStrokeRect(x, y);
  ++StrokeCount;
  if (StrokeCount > kStrokePointsLast || StrokeCount < 0) StrokeCount = 0;
  StrokePoints[size_t(StrokeCount)] = {x, y, pressure};
  if (!painting || StrokeCount < 3) return {};
  const PixelRect drawn = DrawBrush(windowX, windowY);
  StrokeUncommitted = true;
  StrokeUndrawn = false;
  return drawn;
}

canvas::Changed EndStroke(float x, float y, float pressure, float windowX, float windowY) {
  PixelRect drawn = ContinueStroke(x, y, pressure, windowX, windowY, true);
  // A click, or a press with a single movement, has no spline piece: it is drawn straight instead.
  if (StrokeUndrawn && StrokeCount < 3) drawn = Union(drawn, DrawShortStroke());
  StrokeUndrawn = false;
  StrokeUncommitted = true;  // whatever the mask holds now goes in with this release
  canvas::Changed committed = CommitStroke();
  committed.rect = Union(drawn, committed.rect);
  return committed;
}

canvas::Changed CommitStroke() {
  if (!StrokeUncommitted) return {};
  StrokeMinX -= 0.5f;
  StrokeMinY -= 0.5f;
  StrokeMaxX += 0.5f;
  StrokeMaxY += 0.5f;
  // The rectangle in whole pixels, once: every dab lies inside it (each grew it by its reach), so the mask is
  // 0 outside it and it is all the commit changes. The undo step must see the image before the commit.
  const PixelRect box = canvas::NormaliseRect(StrokeMinX, StrokeMinY, StrokeMaxX, StrokeMaxY);
  canvas::UndoSaved saved = canvas::TheHistory().Save(box);
  if (saved) CompositeStroke(2, box);
  canvas::ClearFXbuffer(box);
  StrokeUncommitted = false;
  // The stroke ends showing exactly what was committed: the preview composited a box of BrushSize around
  // each piece, and a dab's anti-aliased rim (or a dab grown past BrushSize) can reach a pixel beyond it,
  // which the commit paints but no preview showed.
  canvas::SyncView(box);
  return {box, std::move(saved.refused)};
}

}  // namespace brisel::stroke

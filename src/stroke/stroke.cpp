// The stroke itself: its points, its dirty rectangle and its commit, in image pixels.

#include "stroke/stroke.h"

#include <utility>

#include "stroke/compositing.h"
#include "stroke/spline.h"
#include "stroke/stroke_rect.h"

namespace brisel::stroke {
namespace {

// A list that lost its size (a test or a caller that emptied it) is made whole again, all zeros, rather
// than written past.
void EnsurePointList(Stroke& s) {
  if (s.StrokePoints.size() <= size_t(kStrokePointsLast))
    s.StrokePoints.assign(kStrokePointsLast + 1, StrokePoint{0, 0, 0});
}

}  // namespace

void BeginStroke(Stroke& s, const compositing::Brush& brush, float x, float y, float pressure) {
  EnsurePointList(s);
  if (s.StrokeUncommitted) {
    GrowStrokeRect(s, brush, x, y);
  } else {
    s.StrokeMinX = x - brush.size;
    s.StrokeMinY = y - brush.size;
    s.StrokeMaxX = x + brush.size;
    s.StrokeMaxY = y + brush.size;
  }
  s.StrokeCount = 0;
  s.LastDabX = x;
  s.LastDabY = y;
  s.StrokePoints[0] = {x, y, pressure};
  s.LastDabPressure = pressure;
  s.StrokeUndrawn = true;
}

void PassOverStroke(Stroke& s, const compositing::Brush& brush, float x, float y) { GrowStrokeRect(s, brush, x, y); }

PixelRect ContinueStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, float x, float y, float pressure,
                         float windowX, float windowY, bool painting) {
  EnsurePointList(s);
  GrowStrokeRect(s, brush, x, y);
  ++s.StrokeCount;
  if (s.StrokeCount > kStrokePointsLast || s.StrokeCount < 0) s.StrokeCount = 0;
  s.StrokePoints[size_t(s.StrokeCount)] = {x, y, pressure};
  if (!painting || s.StrokeCount < 3) return {};
  const PixelRect drawn = DrawBrush(s, surface, brush, windowX, windowY);
  s.StrokeUncommitted = true;
  s.StrokeUndrawn = false;
  return drawn;
}

canvas::Changed EndStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, CommitHooks& hooks, float x,
                          float y, float pressure, float windowX, float windowY) {
  PixelRect drawn = ContinueStroke(s, surface, brush, x, y, pressure, windowX, windowY, true);
  // A click, or a press with a single movement, has no spline piece: it is drawn straight instead.
  if (s.StrokeUndrawn && s.StrokeCount < 3) drawn = Union(drawn, DrawShortStroke(s, surface, brush));
  s.StrokeUndrawn = false;
  s.StrokeUncommitted = true;  // whatever the mask holds now goes in with this release
  canvas::Changed committed = CommitStroke(s, surface, brush, hooks);
  committed.rect = Union(drawn, committed.rect);
  return committed;
}

canvas::Changed CommitStroke(Stroke& s, Surface& surface, const compositing::Brush& brush, CommitHooks& hooks) {
  if (!s.StrokeUncommitted) return {};
  s.StrokeMinX -= 0.5f;
  s.StrokeMinY -= 0.5f;
  s.StrokeMaxX += 0.5f;
  s.StrokeMaxY += 0.5f;
  // The rectangle in whole pixels, once: every dab lies inside it (each grew it by its reach), so the mask is
  // 0 outside it and it is all the commit changes. The undo step must see the image before the commit.
  const PixelRect box =
      canvas::NormaliseRect(s.StrokeMinX, s.StrokeMinY, s.StrokeMaxX, s.StrokeMaxY, surface.width, surface.height);
  canvas::Refusals refused = hooks.SaveUndo(box);
  if (refused.empty()) CompositeStroke(surface, brush, 2, box);
  // The stroke ends showing exactly what was committed: the preview composited a box of the brush's size
  // around each piece, and a dab's anti-aliased rim (or a dab grown past that size) can reach a pixel beyond
  // it, which the commit paints but no preview showed.
  hooks.Settle(box);
  s.StrokeUncommitted = false;
  return {box, std::move(refused)};
}

}  // namespace brisel::stroke

// Spline sampling of a stroke and the drawing of each sampled piece.

#include "stroke/spline.h"

#include <limits>

#include "stroke/aa_line.h"
#include "stroke/compositing.h"
#include "stroke/stroke_rect.h"

namespace brisel::stroke {

float SplineStep(const Stroke& s, float X, float Y) {
  // The event is in window pixels and the last sample in image pixels: at zoom 1 without pan they agree,
  // otherwise this is only an estimate, as intended.
  const float d = Distance(X, Y, s.LastDabX, s.LastDabY);
  if (d > 10) return 0.1f;
  return d > 0 ? 1 / d : 1;
}

namespace {

// One sample drawn: the piece from the last sample to it. Answers the display copy's pixels it changed.
PixelRect DrawSample(Stroke& s, Surface& surface, const compositing::Brush& brush, float nx, float ny, float np) {
  GrowStrokeRect(s, brush, nx, ny);
  const float startSize = brush.size * s.LastDabPressure, endSize = np * brush.size;
  // Every dab must lie inside the rectangle that the release commits and clears, also one larger than the
  // brush's size (the spline's pressure overshooting 1) and one at the last sample after the Size slider grew.
  GrowStrokeRectBy(s, s.LastDabX, s.LastDabY, startSize);
  GrowStrokeRectBy(s, nx, ny, endSize);
  AALine(s, surface, brush, s.LastDabX, s.LastDabY, nx, ny, startSize, endSize);
  const PixelRect drawn = RenderSegment(surface, brush, 1, s.LastDabX, s.LastDabY, nx, ny);
  s.LastDabX = nx;
  s.LastDabY = ny;
  s.LastDabPressure = np;
  return drawn;
}

}  // namespace

PixelRect DrawBrush(Stroke& s, Surface& surface, const compositing::Brush& brush, float X, float Y) {
  PixelRect drawn;  // the display copy's pixels the samples changed
  SampleSpline(s, X, Y, [&](float nx, float ny, float np) {
    drawn = Union(drawn, DrawSample(s, surface, brush, nx, ny, np));
  });
  return drawn;
}

PixelRect DrawShortStroke(Stroke& s, Surface& surface, const compositing::Brush& brush) {
  const int32_t n = s.StrokeCount;
  if (n < 1 || n > 2 || s.StrokePoints.size() <= size_t(kStrokePointsLast)) return {};
  // The last sample is the press point; the piece runs from it to the newest point before the release,
  // which for a click is the press point itself: a zero-length piece, one position, stamped once.
  s.StepDistance = std::numeric_limits<float>::infinity();
  const StrokePoint p = s.StrokePoints[size_t(n - 1)];
  return DrawSample(s, surface, brush, p[0], p[1], p[2]);
}

}  // namespace brisel::stroke

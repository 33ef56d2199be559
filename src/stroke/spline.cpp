// Spline sampling of a stroke and the drawing of each sampled piece.

#include "stroke/spline.h"

#include <limits>

#include "platform/native.h"
#include "state/shared_state.h"
#include "stroke/aa_line.h"
#include "stroke/compositing.h"
#include "stroke/stroke_rect.h"

namespace brisel::stroke {

void SampleSpline(float X, float Y, SplineSink sink) {
  const int32_t n = StrokeCount;
  if (n < 3 || n > kStrokePointsLast || StrokePoints.size() <= size_t(kStrokePointsLast)) return;
  // The event is in window pixels and the last sample in image pixels: at zoom 1 without pan they agree,
  // otherwise this is only an estimate, as intended.
  const float d = Distance(X, Y, LastDabX, LastDabY);
  float s = d > 0 ? 1 / d : 1;
  if (d > 10) s = 0.1f;
  const StrokePoint& a = StrokePoints[size_t(n - 3)];
  const StrokePoint& b = StrokePoints[size_t(n - 2)];
  const StrokePoint& c = StrokePoints[size_t(n - 1)];
  const StrokePoint& e = StrokePoints[size_t(n)];
  // t is summed in float, so whether t = 1 itself is reached depends on rounding (not with s = 0.1).
  for (float t = 0; t <= 1; t += s) {
    const float nx = native::p_Catmull(t, a[0], b[0], c[0], e[0]);
    const float ny = native::p_Catmull(t, a[1], b[1], c[1], e[1]);
    const float np = native::p_Catmull(t, a[2], b[2], c[2], e[2]);
    sink(nx, ny, np);
  }
}

namespace {

PixelRect gDrawn;  // the display copy's pixels the samples of one call changed

void DrawSample(float nx, float ny, float np) {
  GrowStrokeRect(nx, ny);
  const float startSize = BrushSize * LastDabPressure, endSize = np * BrushSize;
  // Every dab must lie inside the rectangle that the release commits and clears, also one larger than
  // BrushSize (the spline's pressure overshooting 1) and one at the last sample after the Size slider grew.
  GrowStrokeRectBy(LastDabX, LastDabY, startSize);
  GrowStrokeRectBy(nx, ny, endSize);
  AALine(LastDabX, LastDabY, nx, ny, startSize, endSize);
  gDrawn = Union(gDrawn, RenderSegment(1, LastDabX, LastDabY, nx, ny));
  LastDabX = nx;
  LastDabY = ny;
  LastDabPressure = np;
}

}  // namespace

PixelRect DrawBrush(float X, float Y) {
  gDrawn = {};
  SampleSpline(X, Y, DrawSample);
  return gDrawn;
}

PixelRect DrawShortStroke() {
  const int32_t n = StrokeCount;
  if (n < 1 || n > 2 || StrokePoints.size() <= size_t(kStrokePointsLast)) return {};
  // The last sample is the press point; the piece runs from it to the newest point before the release,
  // which for a click is the press point itself: a zero-length piece, one position, stamped once.
  StepDistance = std::numeric_limits<float>::infinity();
  const StrokePoint& p = StrokePoints[size_t(n - 1)];
  gDrawn = {};
  DrawSample(p[0], p[1], p[2]);
  return gDrawn;
}

}  // namespace brisel::stroke

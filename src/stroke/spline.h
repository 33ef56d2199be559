#pragma once
// The stroke's smoothing: the Catmull-Rom piece between the second- and third-newest points, sampled and
// joined by straight dab lines.

#include "canvas/rectangles.h"
#include "platform/native.h"
#include "stroke/stroke.h"

namespace brisel::stroke {

// The step of t for a piece whose event lies at window (X, Y): 1 / its distance to the last sample drawn
// (LastDabX, LastDabY), but at least 0.1, so a piece has at most ten samples.
float SplineStep(const Stroke& s, float X, float Y);

// Samples the piece for the newest point n = StrokeCount (between points n - 2 and n - 1, with n - 3 and n
// as outer control points) and hands each sample to sink(x, y, pressure), image pixels, in order; nothing
// while n < 3. (X, Y) is the window position of the event that added point n (SplineStep).
template <typename Sink>
void SampleSpline(const Stroke& s, float X, float Y, Sink&& sink) {
  const int32_t n = s.StrokeCount;
  if (n < 3 || n > kStrokePointsLast || s.StrokePoints.size() <= size_t(kStrokePointsLast)) return;
  const float step = SplineStep(s, X, Y);
  const StrokePoint& a = s.StrokePoints[size_t(n - 3)];
  const StrokePoint& b = s.StrokePoints[size_t(n - 2)];
  const StrokePoint& c = s.StrokePoints[size_t(n - 1)];
  const StrokePoint& e = s.StrokePoints[size_t(n)];
  // t is summed in float, so whether t = 1 itself is reached depends on rounding (not with a step of 0.1).
  for (float t = 0; t <= 1; t += step)
    sink(native::p_Catmull(t, a[0], b[0], c[0], e[0]), native::p_Catmull(t, a[1], b[1], c[1], e[1]),
         native::p_Catmull(t, a[2], b[2], c[2], e[2]));
}

// Draws the piece for the newest point: for each sample, grows the dirty rectangle, stamps the straight
// piece from the last sample into the stroke mask (its width following the pressure), composites it into
// the display copy, and makes the sample the last one. Answers the display copy's pixels it changed, all
// samples together; nothing is shown.
PixelRect DrawBrush(Stroke& s, Surface& surface, const compositing::Brush& brush, float X, float Y);

// Draws a stroke that ends before it has a spline piece (the release makes it points 0 and 1, or 0 to 2):
// a click lays the dab at the press point with that point's pressure, a single movement the straight piece
// from the press to it (the release point, as in any stroke, only ends it). Either way the first dab lands
// on the press point, whatever distance the last stroke left over towards its next dab. Answers the display
// copy's pixels it changed.
PixelRect DrawShortStroke(Stroke& s, Surface& surface, const compositing::Brush& brush);

}  // namespace brisel::stroke

#pragma once
// The stroke's smoothing: the Catmull-Rom piece between the second- and third-newest points, sampled and
// joined by straight dab lines.

#include "canvas/rectangles.h"

namespace brisel::stroke {

// Receives one spline sample: image x, image y and pressure.
using SplineSink = void (*)(float nx, float ny, float np);

// Samples the piece for the newest point n = StrokeCount (between points n - 2 and n - 1, with n - 3 and n
// as outer control points) and hands each sample to sink, in order; nothing while n < 3. (X, Y) is the
// window position of the event that added point n: its distance to the last sample drawn (LastDabX,
// LastDabY) sets the step of t, 1 / distance but at least 0.1, so a piece has at most ten samples.
void SampleSpline(float X, float Y, SplineSink sink);

// Draws the piece for the newest point: for each sample, grows the dirty rectangle, stamps the straight
// piece from the last sample into the stroke mask (its width following the pressure), composites it into
// the display copy, and makes the sample the last one. Answers the display copy's pixels it changed, all
// samples together; nothing is shown.
PixelRect DrawBrush(float X, float Y);

// Draws a stroke that ends before it has a spline piece (the release makes it points 0 and 1, or 0 to 2):
// a click lays the dab at the press point with that point's pressure, a single movement the straight piece
// from the press to it (the release point, as in any stroke, only ends it). Either way the first dab lands
// on the press point, whatever distance the last stroke left over towards its next dab. Answers the display
// copy's pixels it changed.
PixelRect DrawShortStroke();

}  // namespace brisel::stroke

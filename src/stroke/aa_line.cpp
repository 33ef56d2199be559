// AALine and Distance: a straight piece of a stroke as evenly spaced dabs.

#include "stroke/aa_line.h"

#include <algorithm>
#include <cmath>

#include "platform/native.h"

namespace brisel::stroke {

float Distance(float xa, float ya, float xb, float yb) {
  // Differences in float; the first square is rounded to float before the sum, the second is not
  // (a float's square is exact in double, so only that one rounding and the final one remain).
  const double dx = std::fabs(xa - xb), dy = std::fabs(ya - yb);
  const float dx2 = float(dx * dx);
  return float(std::sqrt(double(dx2) + dy * dy));
}

void AALine(Stroke& s, Surface& surface, const compositing::Brush& brush, float x0, float y0, float x1, float y1,
            float Bsize1, float BSize2) {
  const float dx = x1 - x0, dy = y1 - y0;
  const float len = Distance(x0, y0, x1, y1);
  // A length that is not a number or not finite (coordinates gone wild) is walked like a zero-length one,
  // rather than for ever, and stands still too: its unit step would be NaN, and so would the distance
  // counted from then on, which no spacing is ever reached by again.
  const bool wild = !std::isfinite(len);
  // A zero-length piece stands still: (dx / 2, dy / 2) is (0, 0).
  const float ux = wild ? 0 : len != 0 ? dx / len : dx / 2, uy = wild ? 0 : len != 0 ? dy / len : dy / 2;
  // n positions past the start, n the length to the nearest whole pixel; a piece shorter than half a
  // pixel still visits its start once (0.000001 keeps i / steps defined).
  float steps = wild ? 0.0f : std::max(std::nearbyint(len), 0.0f);
  if (!(steps > 0)) steps = 0.000001f;
  const float spacing = brush.step / 100 * Bsize1;  // from the start size only
  const float strength = brush.press / 255;
  // Where the mask is not the image's, there is nowhere to stamp; the walk still counts its distance.
  const int32_t width = surface.width, height = surface.height;
  uint8_t* const mask =
      surface.mask.width() == width && surface.mask.covers(width, height) ? surface.mask.data() : nullptr;
  const float walked = Distance(0, 0, ux, uy);  // 1 for a piece of non-zero length, 0 otherwise

  // The count is kept here and stored once: the pen never reads it.
  float distance = s.StepDistance;
  for (int32_t i = 0; float(i) <= steps; ++i) {
    distance += walked;
    if (!(distance >= spacing)) continue;
    distance = 0;
    if (!mask) continue;
    // Each position is measured from the start rather than summed step by step: over a piece thousands of
    // pixels long the sum drifts by pixels, enough to stamp a dab outside the stroke's rectangle, where
    // the release would neither commit nor clear it.
    const float px = x0 + float(i) * ux, py = y0 + float(i) * uy;
    const float f = float(i) / steps;
    const float size = (1 - f) * Bsize1 + f * BSize2;
    native::AAcpen(mask, px, py, size, 255, strength, width, height);
  }
  s.StepDistance = distance;
}

}  // namespace brisel::stroke

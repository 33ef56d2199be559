#pragma once
// What CompositeStroke and its reference share: the brush's state read once per call and the pixel box.
// Both do their per-pixel arithmetic on their own.

#include <cstdint>

#include "canvas/rectangles.h"

namespace brisel::stroke::compositing {

// The state one call works with, read once at its start.
struct Brush {
  int32_t paint[3] = {0, 0, 0};  // red, green, blue: 0..255
  int32_t layer = -1;            // BlendTable layer, or -1 to mix the paint colour directly
  int32_t curve = -1;            // CoverageCurves curve, or -1 for none
  int32_t paperStrength = 0;     // 0 when there is no paper to thin with
  bool relief = false;
  double opacity = 0;            // BrushOpacity
};
Brush ReadBrush();

// a = N(c * opacity) div 255 for coverage c, held to 0..255.
int32_t Opacity(int32_t c, double opacity);

// The pixel box: the columns floor(min(x1, x2) - r) .. floor(max(x1, x2) + r) and the rows likewise,
// clipped to the image.
PixelRect PixelBox(float x1, float y1, float x2, float y2, float r);

// Whether every plane the flags write, and the ones read, hold the image.
bool PlanesReady(int32_t flags);

}  // namespace brisel::stroke::compositing

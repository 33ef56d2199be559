#pragma once
// What CompositeStroke and its reference share: the brush's state read once per call and the pixel box.
// Both do their per-pixel arithmetic on their own.

#include <cstdint>

#include "canvas/rectangles.h"
#include "stroke/surface.h"

namespace brisel::stroke::compositing {

// The brush as one call mixes it, read once at its start.
struct Ink {
  int32_t paint[3] = {0, 0, 0};  // red, green, blue: 0..255
  const uint8_t* layer = nullptr;  // the blend mode's table, [p * 256 + q]; null to mix the paint colour directly
  const uint8_t* curve = nullptr;  // the coverage curve, [c]; null for none
  int32_t paperStrength = 0;       // 0 when there is no paper to thin with
  bool relief = false;
  double opacity = 0;
};
Ink ReadInk(const Brush& brush, const Surface& surface);

// a = N(c * opacity) div 255 for coverage c, held to 0..255.
int32_t Opacity(int32_t c, double opacity);

// The pixel box: the columns floor(min(x1, x2) - r) .. floor(max(x1, x2) + r) and the rows likewise,
// clipped to the image of width x height.
PixelRect PixelBox(float x1, float y1, float x2, float y2, float r, int32_t width, int32_t height);

// Whether every plane the flags write, and the ones read, hold the image.
bool PlanesReady(const Surface& surface, int32_t flags);

}  // namespace brisel::stroke::compositing

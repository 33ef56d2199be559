#pragma once
// A stroke's fractional, inclusive corners turned into the image's rectangle (state/pixel_rect.h).

#include "state/pixel_rect.h"

namespace brisel::canvas {

// Turns inclusive fractional corners into whole pixels: floor of the near corner, floor(far + 1) for the far
// corner, each pair put in order, then clamped into the image of width x height. A rectangle reaching the
// right or bottom edge keeps the last column or row; one wholly beyond an edge becomes empty.
PixelRect NormaliseRect(float x1, float y1, float x2, float y2, int32_t width, int32_t height);

}  // namespace brisel::canvas

#pragma once
// The rectangle convention shared by undo snapshots and mask clearing.

#include <cstdint>

namespace brisel {

// Whole image pixels, far corner exclusive: columns x1 .. x2 - 1, rows y1 .. y2 - 1.
struct PixelRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool empty() const { return x1 >= x2 || y1 >= y2; }
};

// Turns inclusive fractional corners into whole pixels: floor of the near corner, floor(far + 1) for the far
// corner, each pair put in order, then clamped into the image. A rectangle reaching the right or bottom edge
// keeps the last column or row; one wholly beyond an edge becomes empty.
PixelRect NormaliseRect(float x1, float y1, float x2, float y2);

}  // namespace brisel

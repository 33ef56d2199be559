#include "canvas/rectangles.h"

#include <algorithm>
#include <cmath>


namespace brisel::canvas {

PixelRect NormaliseRect(float x1, float y1, float x2, float y2, int32_t width, int32_t height) {
  x1 = std::floor(x1);
  y1 = std::floor(y1);
  x2 = std::floor(x2 + 1);
  y2 = std::floor(y2 + 1);
  SortPair(x1, x2);
  SortPair(y1, y2);
  // Clamped as floats first, so that a corner far beyond the image cannot overflow the conversion.
  // A NaN corner (coordinates gone wild) becomes 0 rather than an undefined conversion.
  const auto clampTo = [](float v, int32_t limit) { return !(v > 0) ? 0 : v >= float(limit) ? limit : int32_t(v); };
  return {clampTo(x1, width), clampTo(y1, height), clampTo(x2, width), clampTo(y2, height)};
}

}  // namespace brisel::canvas

// AAcpen, plainly: every pixel of the dab's bounding box is measured. Kept as the reference that the fast
// AAcpen is tested against; the dab itself is described in dab_profile.h.

#include <algorithm>
#include <cmath>

#include "platform/native.h"
#include "platform/native/dab_profile.h"

namespace brisel::native {
namespace {

// The pixels whose centres lie within reach of c along one axis, clamped to 0..limit - 1. The ends are
// clamped as floats, so a far or NaN position cannot overflow the conversion. False when none is left.
bool Reach(float c, float reach, int32_t limit, int32_t& lo, int32_t& hi) {
  const float a = std::max(std::floor(c - reach - 0.5f), 0.0f);
  const float b = std::min(std::ceil(c + reach - 0.5f), float(limit - 1));
  if (!(a <= b)) return false;
  lo = int32_t(a);
  hi = int32_t(b);
  return true;
}

}  // namespace

void AAcpen_reference(uint8_t* plane, float x, float y, float size, float value, float strength, int32_t width,
                      int32_t height) {
  const dab::Shape shape = dab::MakeShape(size, value, strength);
  if (!plane || width <= 0 || height <= 0 || dab::FullValue(shape) == 0) return;
  int32_t x0, x1, y0, y1;
  if (!Reach(x, shape.outer, width, x0, x1) || !Reach(y, shape.outer, height, y0, y1)) return;
  for (int32_t j = y0; j <= y1; ++j) {
    uint8_t* row = plane + size_t(j) * size_t(width);
    const float dy = (float(j) + 0.5f) - y;
    for (int32_t i = x0; i <= x1; ++i) {
      const float dx = (float(i) + 0.5f) - x;
      row[i] = std::max(row[i], dab::EdgeValue(shape, dx, dy));
    }
  }
}

}  // namespace brisel::native

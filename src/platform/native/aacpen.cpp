// AAcpen: one round anti-aliased dab into a coverage plane (the dab itself: dab_profile.h).
//
// Row by row, only the dab's chord is visited. The pixels well inside the circle take the full value with
// no arithmetic at all (a run the compiler turns into vector max); only the ring about a pixel wide around
// the edge is measured with a square root. The interior run is chosen a pixel short of the exact boundary
// and the chord a pixel long, so rounding in the span arithmetic can never misclassify a pixel: both
// stragglers go through the same edge formula as AAcpen_reference, and the result is identical to it.

#include <algorithm>
#include <cmath>

#include "platform/native.h"
#include "platform/native/dab_profile.h"

namespace brisel::native {
namespace {

// The whole pixel index nearest below (or at) v, clamped to lo..hi as a float first so that no
// position, however far or NaN, overflows the conversion (NaN becomes lo).
int32_t ClampedIndex(float v, int32_t lo, int32_t hi) {
  if (!(v >= float(lo))) return lo;
  if (v >= float(hi)) return hi;
  return int32_t(v);
}

}  // namespace

void AAcpen(uint8_t* plane, float x, float y, float size, float value, float strength, int32_t width,
            int32_t height) {
  const dab::Shape shape = dab::MakeShape(size, value, strength);
  const uint8_t full = dab::FullValue(shape);
  if (!plane || width <= 0 || height <= 0 || full == 0 || !std::isfinite(x) || !std::isfinite(y)) return;

  // Rows whose centres can lie within outer of y.
  const float rowLo = std::floor(y - shape.outer - 0.5f), rowHi = std::ceil(y + shape.outer - 0.5f);
  if (rowHi < 0 || rowLo > float(height - 1)) return;
  const int32_t j0 = ClampedIndex(rowLo, 0, height - 1), j1 = ClampedIndex(rowHi, 0, height - 1);
  if (x + shape.outer + 1 < 0 || x - shape.outer - 1 > float(width)) return;

  const float outer2 = shape.outer * shape.outer, inner2 = shape.inner * shape.inner;
  for (int32_t j = j0; j <= j1; ++j) {
    const float dy = (float(j) + 0.5f) - y;
    const float dy2 = dy * dy;
    if (dy2 >= outer2 + 2 * shape.outer + 1) continue;  // |dy| >= outer + 1: nothing on this row
    uint8_t* row = plane + size_t(j) * size_t(width);

    // The chord, a pixel longer on each side than the circle: centres with |dx| < half + 1.
    const float half = std::sqrt(std::max(outer2 - dy2, 0.0f));
    const float a = std::floor(x - half - 1.5f), b = std::ceil(x + half + 0.5f);
    if (b < 0 || a > float(width - 1)) continue;
    const int32_t i0 = ClampedIndex(a, 0, width - 1), i1 = ClampedIndex(b, 0, width - 1);

    // The interior run, a pixel shorter on each side: centres with |dx| <= innerHalf - 1.
    int32_t k0 = i1 + 1, k1 = i1;  // empty unless the row crosses the interior
    if (dy2 < inner2) {
      const float innerHalf = std::sqrt(inner2 - dy2);
      const float c = std::ceil(x - innerHalf + 0.5f), d = std::floor(x + innerHalf - 1.5f);
      if (c <= d && d >= float(i0) && c <= float(i1)) {
        k0 = ClampedIndex(c, i0, i1);
        k1 = ClampedIndex(d, i0, i1);
      }
    }

    const auto edge = [&](int32_t from, int32_t to) {
      for (int32_t i = from; i <= to; ++i)
        row[i] = std::max(row[i], dab::EdgeValue(shape, (float(i) + 0.5f) - x, dy));
    };
    if (k0 > k1) {
      edge(i0, i1);
      continue;
    }
    edge(i0, k0 - 1);
    for (int32_t i = k0; i <= k1; ++i) row[i] = std::max(row[i], full);
    edge(k1 + 1, i1);
  }
}

}  // namespace brisel::native

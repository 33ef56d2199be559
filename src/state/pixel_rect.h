#pragma once
// The one rectangle convention of the image: whole pixels, far corner exclusive. Undo steps, the mask's
// clearing, the compositor's answer, the view sync, the redraws and the box sent to the host all speak it;
// the fractional, inclusive corners of a stroke become one once, through NormaliseRect (canvas/rectangles.h).

#include <algorithm>
#include <cstdint>
#include <utility>

namespace brisel {

// Whole image pixels, far corner exclusive: columns x1 .. x2 - 1, rows y1 .. y2 - 1.
struct PixelRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool empty() const { return x1 >= x2 || y1 >= y2; }
  int32_t width() const { return x2 - x1; }
  int32_t height() const { return y2 - y1; }
  bool operator==(const PixelRect&) const = default;
};

// Puts a into the smaller and b into the larger of the two.
template <typename T>
void SortPair(T& a, T& b) {
  if (a > b) std::swap(a, b);
}

// r grown by n pixels on every side (not clipped).
inline PixelRect Widened(const PixelRect& r, int32_t n) { return {r.x1 - n, r.y1 - n, r.x2 + n, r.y2 + n}; }

// The pixels both hold; empty when they share none.
inline PixelRect Intersection(const PixelRect& a, const PixelRect& b) {
  const PixelRect c{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
  return c.empty() ? PixelRect{} : c;
}

// The smallest rectangle holding both; an empty one adds nothing.
inline PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}

}  // namespace brisel

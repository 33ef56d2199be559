#pragma once
// A convex quadrilateral's reach along x between two heights: what a band of rows of a turned box covers.

#include <algorithm>
#include <cmath>

namespace brisel::platform {

struct QuadCorner {
  double x = 0, y = 0;
};

// The reach [left, right] along x of the convex quadrilateral with corners q (in order around it) between
// heights y0 <= y1; false when it misses them.
inline bool QuadReach(const QuadCorner (&q)[4], double y0, double y1, double& left, double& right) {
  left = INFINITY, right = -INFINITY;
  auto take = [&](double x) { left = std::min(left, x), right = std::max(right, x); };
  for (int k = 0; k < 4; ++k) {
    const QuadCorner a = q[k], b = q[(k + 1) % 4];
    if (a.y >= y0 && a.y <= y1) take(a.x);
    for (const double y : {y0, y1})
      if ((a.y < y && b.y > y) || (a.y > y && b.y < y)) take(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
  }
  return left <= right;
}

}  // namespace brisel::platform

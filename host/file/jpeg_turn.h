#pragma once
// How a JPEG's stored pixel grid turns into the upright picture by its EXIF orientation (1..8): the upright
// pixel of stored pixel (x, y) is (u, v) = (u0 + ux x + uy y, v0 + vx x + vy y). The matrix is a signed
// permutation, so the way back is its transpose.

#include <cstdint>

namespace brisel::filehost {

struct JpegTurn {
  int64_t u0 = 0, ux = 1, uy = 0, v0 = 0, vx = 0, vy = 1;

  // For a stored grid of w x h pixels; an orientation outside 1..8 is taken as 1 (none).
  static JpegTurn For(int orientation, int64_t w, int64_t h) {
    switch (orientation) {
      case 2: return {w - 1, -1, 0, 0, 0, 1};   // mirrored left to right
      case 3: return {w - 1, -1, 0, h - 1, 0, -1};  // half a turn
      case 4: return {0, 1, 0, h - 1, 0, -1};   // mirrored top to bottom
      case 5: return {0, 0, 1, 0, 1, 0};        // transposed
      case 6: return {h - 1, 0, -1, 0, 1, 0};   // a quarter turn clockwise to show
      case 7: return {h - 1, 0, -1, w - 1, -1, 0};  // transverse
      case 8: return {0, 0, 1, w - 1, -1, 0};   // a quarter turn anticlockwise to show
      default: return {};
    }
  }
  bool swapsSides() const { return ux == 0; }
  int64_t U(int64_t x, int64_t y) const { return u0 + ux * x + uy * y; }
  int64_t V(int64_t x, int64_t y) const { return v0 + vx * x + vy * y; }
  int64_t X(int64_t u, int64_t v) const { return ux * (u - u0) + vx * (v - v0); }
  int64_t Y(int64_t u, int64_t v) const { return uy * (u - u0) + vy * (v - v0); }
};

}  // namespace brisel::filehost

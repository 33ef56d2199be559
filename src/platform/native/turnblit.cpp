// The turned view's pixels: each window pixel's point stepped across the row in 16.16 fixed point, and the
// four cells around it mixed with 8-bit weights, as the upright magnified display mixes them.
//
// A pixel shows cell point q; the cells' centres sit at k + 0.5, so the taps are floor(q - 0.5) and the
// one after, weighted by the fraction of q - 0.5. A point that falls exactly on a cell centre (a quarter turn
// at zoom 1) takes that cell alone.

#include <algorithm>
#include <cmath>

#include "platform/native.h"

namespace brisel::native {
namespace {

constexpr int64_t kOne = 1 << 16;

inline uint32_t Mix(const uint8_t* p, int32_t stride, int32_t xa, int32_t xb, int32_t ya, int32_t yb, uint32_t wx,
                    uint32_t wy) {
  const uint8_t* top = p + int64_t(ya) * stride;
  const uint8_t* bottom = p + int64_t(yb) * stride;
  const uint32_t t = top[xa] * (256 - wx) + top[xb] * wx;
  const uint32_t b = bottom[xa] * (256 - wx) + bottom[xb] * wx;
  return (t * (256 - wy) + b * wy + 32768) >> 16;
}

}  // namespace

void p_turnblit(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height, uint32_t back,
                uint8_t* out, int32_t outStride) {
  if (width <= 0 || height <= 0 || span.cx1 <= span.cx0 || span.cy1 <= span.cy0) {
    for (int32_t j = 0; j < height; ++j) std::fill_n(reinterpret_cast<uint32_t*>(out + int64_t(j) * outStride * 4),
                                                    std::max(width, 0), back | 0xFF000000u);
    return;
  }
  const uint32_t backPixel = back | 0xFF000000u;
  // The planes' addresses of cell (0, 0), and the held cells in the same counting.
  const int64_t shift = -int64_t(source.originY) * source.stride - source.originX;
  const uint8_t* r = source.r + shift;
  const uint8_t* g = source.g + shift;
  const uint8_t* b = source.b + shift;
  const int64_t extentX = int64_t(std::floor(source.extentWidth * kOne));
  const int64_t extentY = int64_t(std::floor(source.extentHeight * kOne));
  const int64_t stepX = std::llround(span.iqx * kOne), stepY = std::llround(span.iqy * kOne);
  for (int32_t j = 0; j < height; ++j) {
    uint32_t* row = reinterpret_cast<uint32_t*>(out + int64_t(j) * outStride * 4);
    // Each row starts from its own exact point, so the fixed-point steps drift by a row's length at most.
    int64_t fx = std::llround((span.qx + j * span.jqx) * kOne);
    int64_t fy = std::llround((span.qy + j * span.jqy) * kOne);
    for (int32_t i = 0; i < width; ++i, fx += stepX, fy += stepY) {
      if (fx < 0 || fy < 0 || fx >= extentX || fy >= extentY) {
        row[i] = backPixel;
        continue;
      }
      const int64_t sx = fx - kOne / 2, sy = fy - kOne / 2;
      const int32_t x0 = int32_t(sx >> 16), y0 = int32_t(sy >> 16);
      const uint32_t wx = uint32_t(sx >> 8) & 0xFF, wy = uint32_t(sy >> 8) & 0xFF;
      const int32_t xa = std::clamp(x0, span.cx0, span.cx1 - 1), xb = std::clamp(x0 + 1, span.cx0, span.cx1 - 1);
      const int32_t ya = std::clamp(y0, span.cy0, span.cy1 - 1), yb = std::clamp(y0 + 1, span.cy0, span.cy1 - 1);
      row[i] = Mix(b, source.stride, xa, xb, ya, yb, wx, wy) | Mix(g, source.stride, xa, xb, ya, yb, wx, wy) << 8 |
               Mix(r, source.stride, xa, xb, ya, yb, wx, wy) << 16 | 0xFF000000u;
    }
  }
}

void p_turnblit_reference(const BlitSource& source, const TurnedSpan& span, int32_t width, int32_t height,
                          uint32_t back, uint8_t* out, int32_t outStride) {
  const uint8_t* planes[3] = {source.b, source.g, source.r};
  for (int32_t j = 0; j < height; ++j)
    for (int32_t i = 0; i < width; ++i) {
      uint8_t* p = out + (int64_t(j) * outStride + i) * 4;
      const double qx = span.qx + i * span.iqx + j * span.jqx, qy = span.qy + i * span.iqy + j * span.jqy;
      if (!(qx >= 0 && qy >= 0 && qx < source.extentWidth && qy < source.extentHeight) || span.cx1 <= span.cx0 ||
          span.cy1 <= span.cy0) {
        for (int k = 0; k < 3; ++k) p[k] = uint8_t(back >> (8 * k));
        p[3] = 255;
        continue;
      }
      const double sx = qx - 0.5, sy = qy - 0.5;
      const double fx = std::floor(sx), fy = std::floor(sy);
      const double wx = sx - fx, wy = sy - fy;
      const int32_t xa = std::clamp(int32_t(fx), span.cx0, span.cx1 - 1);
      const int32_t xb = std::clamp(int32_t(fx) + 1, span.cx0, span.cx1 - 1);
      const int32_t ya = std::clamp(int32_t(fy), span.cy0, span.cy1 - 1);
      const int32_t yb = std::clamp(int32_t(fy) + 1, span.cy0, span.cy1 - 1);
      for (int k = 0; k < 3; ++k) {
        auto cell = [&](int32_t x, int32_t y) {
          return double(planes[k][int64_t(y - source.originY) * source.stride + (x - source.originX)]);
        };
        const double v = (cell(xa, ya) * (1 - wx) + cell(xb, ya) * wx) * (1 - wy) +
                         (cell(xa, yb) * (1 - wx) + cell(xb, yb) * wx) * wy;
        p[k] = uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0));
      }
      p[3] = 255;
    }
}

}  // namespace brisel::native

// The plain p_smoothblit: every bitmap pixel on its own, straight from the filter's definition in
// smoothblit_taps.h. Slow and obvious, so the fast version can be checked against it.

#include <cstddef>

#include "platform/native.h"
#include "platform/native/smoothblit_taps.h"

namespace brisel::native {

void p_smoothblit_reference(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bits, int32_t x1,
                            int32_t y1, int32_t x2, int32_t y2, int32_t planeWidth, int32_t planeHeight,
                            int32_t zoomedWidth, int32_t zoomedHeight, int32_t dibWidth, float zoom) {
  using namespace smoothblit;
  BlitSpan s;
  if (!FindBlitSpan(x1, y1, x2, y2, planeWidth, planeHeight, zoomedWidth, zoomedHeight, dibWidth, zoom, s)) return;
  const size_t rowLength = static_cast<size_t>(s.planeWidth);
  auto pixel = [&](int32_t u, int32_t v) { return bits + (static_cast<size_t>(v) * dibWidth + u) * 4; };

  if (zoom == 1.0f) {
    for (int32_t v = s.v0; v < s.v1; ++v)
      for (int32_t u = s.u0; u < s.u1; ++u) {
        const size_t at = v * rowLength + u;
        uint8_t* p = pixel(u, v);
        p[0] = b[at], p[1] = g[at], p[2] = r[at], p[3] = 255;
      }
    return;
  }

  const AxisTaps columns = MakeAxisTaps(s.u0, s.u1, zoom, s.planeWidth, kColumnScale);
  const AxisTaps rows = MakeAxisTaps(s.v0, s.v1, zoom, s.planeHeight, kRowScale);
  const uint8_t* planes[3] = {b, g, r};  // in the bitmap's byte order
  for (int32_t v = s.v0; v < s.v1; ++v) {
    const int32_t fy = rows.first[v - s.v0], ny = rows.count[v - s.v0];
    const uint16_t* wy = rows.weightsOf(v);
    for (int32_t u = s.u0; u < s.u1; ++u) {
      const int32_t fx = columns.first[u - s.u0], nx = columns.count[u - s.u0];
      const uint16_t* wx = columns.weightsOf(u);
      uint8_t* p = pixel(u, v);
      for (int c = 0; c < 3; ++c) {
        uint32_t total = kPixelRound;
        for (int32_t tx = 0; tx < nx; ++tx) {
          uint32_t column = 0;  // at most 255 * 128
          for (int32_t ty = 0; ty < ny; ++ty) column += wy[ty] * planes[c][(fy + ty) * rowLength + fx + tx];
          total += column * wx[tx] >> kColumnShift;
        }
        p[c] = static_cast<uint8_t>(total >> kPixelShift);
      }
      p[3] = 255;
    }
  }
}

}  // namespace brisel::native

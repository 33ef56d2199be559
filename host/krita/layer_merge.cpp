#include "krita/layer_merge.h"

#include <algorithm>
#include <cstring>

namespace brisel::kritahost {
namespace {

// A pixel's B, G, R or A at depth, widened.
uint32_t Sample(const uint8_t* pixel, int depth, int channel) {
  if (depth == 8) return pixel[channel];
  uint16_t v;
  std::memcpy(&v, pixel + 2 * channel, 2);
  return v;
}

void Put(uint8_t* pixel, int depth, int channel, uint32_t value) {
  if (depth == 8) {
    pixel[channel] = uint8_t(value);
    return;
  }
  const uint16_t v = uint16_t(value);
  std::memcpy(pixel + 2 * channel, &v, 2);
}

}  // namespace

std::array<BytePlane, 3> PlanesOf(std::span<const uint8_t> pixels, int32_t width, int32_t height, int depth) {
  const size_t pixelBytes = PixelBytes(depth);
  if (width <= 0 || height <= 0 || (depth != 8 && depth != 16) ||
      pixels.size() != size_t(width) * size_t(height) * pixelBytes)
    return {};
  std::array<BytePlane, 3> planes{BytePlane(width, height), BytePlane(width, height), BytePlane(width, height)};
  uint8_t *r = planes[0].data(), *g = planes[1].data(), *b = planes[2].data();
  const uint8_t* p = pixels.data();
  for (size_t i = 0, n = planes[0].size(); i < n; ++i, p += pixelBytes) {
    uint32_t bgra[4];
    for (int c = 0; c < 4; ++c) bgra[c] = depth == 8 ? p[c] : Narrow(uint16_t(Sample(p, 16, c)));
    // Straight alpha over white, rounded, as the file host shows a picture: c * a / 255 + 255 * (255 - a) / 255.
    const uint32_t a = bgra[3], white = 255 * (255 - a) + 127;
    b[i] = uint8_t((bgra[0] * a + white) / 255);
    g[i] = uint8_t((bgra[1] * a + white) / 255);
    r[i] = uint8_t((bgra[2] * a + white) / 255);
  }
  return planes;
}

Merged MergeSend(std::span<const uint8_t> current, int depth, const Box& area, const host::StagedPlanes& planes,
                 std::span<const uint8_t> selection) {
  const size_t pixelBytes = PixelBytes(depth);
  const uint32_t widen = depth == 16 ? 257 : 1;
  std::vector<uint8_t> merged(current.begin(), current.end());
  int32_t left = area.x + area.width, right = -1, top = area.y + area.height, bottom = -1;
  for (int32_t y = area.y; y < area.y + area.height; ++y) {
    const size_t rowStart = size_t(y - area.y) * size_t(area.width);
    const uint8_t *r = planes.r.row(y - planes.y), *g = planes.g.row(y - planes.y), *b = planes.b.row(y - planes.y);
    for (int32_t x = area.x; x < area.x + area.width; ++x) {
      const size_t i = rowStart + size_t(x - area.x);
      const uint32_t s = selection.empty() ? 255 : selection[i];
      if (s == 0 || !planes.Painted(x, y)) continue;
      uint8_t* pixel = merged.data() + i * pixelBytes;
      const int32_t px = x - planes.x;
      const uint32_t colour[3] = {b[px] * widen, g[px] * widen, r[px] * widen};  // B, G, R as stored
      bool changed = false;
      for (int c = 0; c < 3; ++c) {
        const uint32_t old = Sample(pixel, depth, c);
        const uint32_t value = s == 255 ? colour[c] : (old * (255 - s) + colour[c] * s + 127) / 255;
        if (value == old) continue;
        Put(pixel, depth, c, value);
        changed = true;
      }
      if (!changed) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Merged result;
  if (right >= 0) {
    result.changed = {left, top, right - left + 1, bottom - top + 1};
    const size_t rowBytes = size_t(result.changed.width) * pixelBytes;
    result.pixels.resize(rowBytes * size_t(result.changed.height));
    for (int32_t y = 0; y < result.changed.height; ++y) {
      const size_t from = (size_t(top - area.y + y) * size_t(area.width) + size_t(left - area.x)) * pixelBytes;
      std::memcpy(result.pixels.data() + size_t(y) * rowBytes, merged.data() + from, rowBytes);
    }
  }
  result.area = std::move(merged);
  return result;
}

}  // namespace brisel::kritahost
